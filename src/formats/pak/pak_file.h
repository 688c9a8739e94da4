// The setup archive appended to the setup program, and the archives the
// program writes itself (the uninstaller's).
//
// Layout of a file carrying an archive (little-endian):
//   [0, DataStart)            the host program
//   entry data                each entry's stored bytes at its Offset
//   directory                 at DirectoryOffset, EntryCount entries:
//                               u16 name length, name bytes (8-bit, no terminator),
//                               u32 Checksum, u32 Offset, u32 CompSize, u32 OrigSize,
//                               u16 Group
//   trailer (last 16 bytes)   "RKPF", u16 Version (1), u16 EntryCount,
//                             u32 DataStart, u32 DirectoryOffset
//
// Stored bytes are a zlib stream of CompSize bytes (level 9) or a zstd frame
// (when the writer was given ZstdPack; told apart by their first bytes, see
// pak_codec.h), or, when CompSize is 0, the OrigSize data bytes themselves.
// Checksum is the CRC-32 of the stored bytes exactly as they lie in the file
// (the compressed bytes for a compressed entry). Group 0 is the setup's own data; group g >= 1 is the
// payload of the g-th group-consuming line of the command stream.
//
// In a signed program the signature's certificate table follows the archive
// (see archive/pe_image.h): the trailer then ends where the table starts, or
// up to 7 zero bytes before it. Any other bytes after the trailer, or a
// damaged certificate table, and the file carries no archive.
//
// The archive is untrusted input: every offset, size and count read from it is
// checked against the archive's end before anything is read or allocated, and
// damage shows as "no entries", "no data" or false, never as a read outside
// the archive.
//
// One TPak has a single file position and a single enumeration cursor and
// takes no lock: one thread at a time, and group enumerations (FindFirst /
// FindNext, FindFirstIndex / FindNextIndex, ForEachInGroup, ExtractGroup)
// must not be nested or interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/random_access_file.h"

namespace ferry {

class Dialogs;
class FileSystem;
class InflatePipeline;
class PakEntryReader;
struct EntryVerdict;

// Entries of this OrigSize or more are never compressed, are copied to disk in
// chunks instead of being loaded, and are verified by streaming their stored
// bytes (a Checksum of 0 there means "not checked": archives written before
// large entries carried one).
inline constexpr uint32_t kLargeEntryThreshold = 73'400'320;  // 70 MiB
// CopyLargeEntry's status line moves once per this many bytes (copied
// through a buffer of kVerifyChunkSize).
inline constexpr uint32_t kCopyChunkSize = 26'214'400;  // 25 MiB
// The one buffer VerifyEntry streams a large entry through, and
// CopyLargeEntry copies it through: all the memory either takes, whatever
// the entry's size.
inline constexpr uint32_t kVerifyChunkSize = 1'048'576;  // 1 MiB
// Every other entry streams through one buffer of stored bytes and one of
// unpacked bytes of this size (StreamEntry), whatever its size.
inline constexpr uint32_t kStreamChunkSize = 1'048'576;  // 1 MiB
inline constexpr size_t kPakTrailerSize = 16;
inline constexpr char kPakMagic[4] = {'R', 'K', 'P', 'F'};

struct TPakTrailer {
  char Magic[4] = {0, 0, 0, 0};
  uint16_t Version = 0;
  uint16_t EntryCount = 0;
  uint32_t DataStart = 0;
  uint32_t DirectoryOffset = 0;
};

struct TPakFile {
  std::string Name;
  std::string SourceFile;  // writer only: the file PackFile/StoreFile read; never stored
  uint32_t Checksum = 0;
  uint32_t Offset = 0;
  uint32_t CompSize = 0;
  uint32_t OrigSize = 0;
  uint16_t Group = 0;
};

// Result of FindFirst / FindNext. The end of an enumeration is the empty Name.
struct PakFound {
  std::optional<std::vector<uint8_t>> Data;  // only when data was asked for and loaded
  uint32_t Size = 0;                          // the entry's OrigSize
  std::string Name;
};

// Where extraction reports what it does. Every member may be left empty.
struct PakEvents {
  // Progress line while extracting: `fileText` is what replaces "<%FILENAME%>"
  // in language string 18 (the entry name, or for a large entry
  // "name - <copied> / <size>").
  std::function<void(const std::string& fileText)> SetStatusText;
  // One step of the patching gauge per extracted entry.
  std::function<void()> StepGauge;
  // A file about to be written (install log AddFile); the path is
  // targetDir + "\" + entry name, as given to ExtractGroup.
  std::function<void(const std::string& path)> FileWritten;
  // A directory that extraction created (install log AddDirectory), parents first.
  std::function<void(const std::string& path)> DirectoryCreated;
  // An entry name that would leave the target folder ("..", a drive, a
  // leading slash or backslash): the entry is not written.
  std::function<void(const std::string& name)> NameRefused;
  // A file that could not be written with its data (it could not be created
  // or written, or the entry's data did not load), and why. When set,
  // extraction reports such a file here and goes on with the next entry
  // instead of throwing.
  std::function<void(const std::string& path, const std::string& reason)> FileNotWritten;
  // Byte counts on the large-entry status line; plain decimal when empty.
  std::function<std::string(uint64_t bytes)> FormatByteSize;
};

// How many threads read an archive's entries at once: the cores, at most 4.
unsigned ReaderThreads();

enum class PakMode {
  kReader,        // existing file, read-only, shared; the directory is read at once
  kAppendWriter,  // existing file, read/write, exclusive; DataStart = its current length
  kNewWriter,     // file created or truncated; DataStart = 0
};

class TPak {
 public:
  // Create(file name, CreateNew, Append): Append chooses kAppendWriter,
  // else CreateNew chooses kNewWriter, else kReader. A reader whose file
  // cannot be opened has a blank trailer and no entries; a writer whose file
  // cannot be opened throws SetupError.
  TPak(const NativePath& fileName, bool createNew, bool append, Dialogs* dialogs = nullptr);
  // Over a file that is already open; the first form owns it, the second
  // borrows it (it must outlive the TPak). kNewWriter truncates it to 0.
  TPak(std::unique_ptr<RandomAccessFile> file, PakMode mode, Dialogs* dialogs = nullptr);
  TPak(RandomAccessFile& file, PakMode mode, Dialogs* dialogs = nullptr);
  ~TPak();
  TPak(const TPak&) = delete;
  TPak& operator=(const TPak&) = delete;

  void SetEvents(PakEvents events) { events_ = std::move(events); }
  // Box for the DecompSize message of LoadEntry; none: no box is shown.
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }

  // ---- Directory -------------------------------------------------------

  const TPakTrailer& Trailer() const { return trailer_; }
  // The trailer begins with "RKPF" (what start-up checks).
  bool HasMagic() const;
  // HasMagic() and the whole directory lay inside the file. A trailer with
  // the magic but a directory that does not fit leaves no entries.
  bool IsValid() const { return valid_; }
  const std::vector<TPakFile>& Files() const { return files_; }
  size_t EntryCount() const { return files_.size(); }
  // nullptr for an index past the last entry.
  const TPakFile* Entry(size_t index) const;
  size_t Cursor() const { return cursor_; }
  // Where the trailer ends (the file's size unless the file is signed); 0
  // while the reader has no valid directory.
  uint64_t ArchiveEnd() const { return end_; }

  // ---- Reader ----------------------------------------------------------

  // Reads trailer and directory again (Create runs it in reader mode). No
  // "RKPF": no entries, no message.
  void ReadDirectory();
  // The entry's OrigSize unpacked bytes, or none: bad index, OrigSize 0,
  // stored bytes outside the file, checksum mismatch, a compressed stream that
  // does not unpack, or an unpacked length other than OrigSize (this last case
  // also shows the "Error" DecompSize box through Dialogs, when there is one).
  // LastLoadError() says which.
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index);
  // The same checks, the unpacked bytes handed to `sink` in order, in pieces
  // of at most kStreamChunkSize, and no more than OrigSize of them (the rest
  // is counted for the DecompSize message). Damage is known only at the end:
  // false then (LastLoadError says why) after `sink` may have had bytes.
  // Exceptions of `sink` pass through.
  using ByteSink = std::function<void(std::span<const uint8_t> bytes)>;
  bool StreamEntry(size_t index, const ByteSink& sink);
  // Why the last LoadEntry or VerifyEntry failed (empty after a success).
  const std::string& LastLoadError() const { return last_error_; }
  // First entry in directory order whose name equals `name` ignoring case
  // (ANSI lower-casing, whole name, no separator folding) and whose Group is
  // `group`, loaded with LoadEntry. *origSize := its OrigSize (also when the
  // load failed), 0 when there is no such entry.
  std::optional<std::vector<uint8_t>> LoadByName(std::string_view name, uint16_t group,
                                                 uint32_t* origSize = nullptr);
  // Enumerate a group in directory order: FindFirst restarts at entry 0. Data
  // is loaded only when wantData.
  PakFound FindFirst(uint16_t group, bool wantData);
  PakFound FindNext(uint16_t group, bool wantData);
  // The same scan returning the entry index; none at the end.
  std::optional<size_t> FindFirstIndex(uint16_t group);
  std::optional<size_t> FindNextIndex(uint16_t group);
  // Calls `callback` with each entry index of the group, in directory order
  // (through FindFirstIndex/FindNextIndex, so it moves the cursor).
  void ForEachInGroup(uint16_t group, const std::function<void(size_t index)>& callback);
  // A large entry (OrigSize >= kLargeEntryThreshold) is sound when its OrigSize
  // stored bytes lie in the archive and their CRC-32, streamed in chunks of
  // kVerifyChunkSize, equals Checksum; with Checksum 0 it is sound unread. Any
  // other entry is sound when StreamEntry succeeds. Bad index: false.
  bool VerifyEntry(size_t index);
  // VerifyEntry for every entry whose OrigSize is not 0, on up to `threads`
  // threads reading at once (the file must allow concurrent ReadAt).
  // `verified(i)` is called on the calling thread for each entry i in
  // directory order once it and every entry before it are sound. Returns the
  // first damaged entry by index (LastLoadError and the DecompSize box as
  // VerifyEntry gives them; no entry after it is reported), none when all
  // are sound.
  std::optional<size_t> VerifyEntries(unsigned threads, const std::function<void(size_t index)>& verified);
  size_t CountPayloadEntries() const;  // entries whose Group is not 0
  size_t CountGroup(uint16_t group) const;
  // Closes the file (after WriteDirectory for a writer). Later reads find no data.
  void Close();

  // ---- Extraction (reader) -------------------------------------------------

  // Writes every entry of `group` through `files` as a file targetDir + "\" + Name, creating
  // missing directories (each reported through DirectoryCreated), reporting
  // SetStatusText / FileWritten before and StepGauge after each entry, and
  // SetStatusText once more with an empty text when the group ends. Large
  // entries go through CopyLargeEntry. Each file is written under a scratch
  // name in its folder ("~ferry-new.tmp") and renamed over its target when
  // whole, so no file is ever cut short under its own name; an entry that
  // fails to load leaves no file. A name that would leave targetDir is refused (NameRefused) and
  // not written, but still steps the gauge. Returns true when every entry was
  // written with its data. Throws SetupError when a file or directory cannot
  // be created or written, unless FileNotWritten is set (see PakEvents).
  bool ExtractGroup(FileSystem& files, const std::string& targetDir, uint16_t group);
  // Copies `size` stored bytes of entry `index` to `target` in chunks of at
  // most kCopyChunkSize, the status line showing displayName and the bytes
  // already copied before each chunk; no inflation, no checksum. Creates
  // missing directories and the file (at writeTo when given, target's
  // scratch name). False (and an empty or partial file) when the bytes are
  // not all in the archive or the index is bad. Throws SetupError when the
  // file cannot be created or written.
  bool CopyLargeEntry(FileSystem& files, const std::string& target, const std::string& displayName, uint32_t size,
                      size_t index, const std::string& writeTo = {});

  // ---- Writer ----------------------------------------------------------

  // A new directory entry (offset, sizes and checksum 0); its index. Throws
  // SetupError past 65,535 entries or for a name longer than 65,535 bytes.
  size_t AddEntry(const std::string& name, const std::string& sourceFile, uint16_t group);
  // How PackBuffer compresses: the stored bytes for the data, or none when the
  // codec fails. Unset: zlib at level 9. Called from the threads that call
  // PackBuffer. ZstdPack (pak_codec.h) gives zstd frames.
  using Compressor = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t> data)>;
  void SetCompressor(Compressor compressor) { compressor_ = std::move(compressor); }
  // The stored bytes for `data`, setting the entry's OrigSize, CompSize and
  // Checksum: the compressed bytes (level-9 zlib unless SetCompressor said
  // otherwise) when they are no longer than the data and
  // the data is below kLargeEntryThreshold, else the data itself (CompSize 0).
  // None for a bad index or empty data (the entry then keeps OrigSize 0).
  // Throws SetupError for data of 4 GiB or more.
  std::optional<std::vector<uint8_t>> PackBuffer(size_t index, std::span<const uint8_t> data);
  // The same for the entry's SourceFile read whole; a file of
  // kLargeEntryThreshold bytes or more is stored as read, with its CRC-32.
  // Throws SetupError when the file cannot be read.
  std::optional<std::vector<uint8_t>> PackFile(size_t index);
  // PackBuffer / PackFile, then append the stored bytes at the end of the file
  // (Offset := that end). False when there was nothing to store. Throws
  // SetupError when the file cannot be written or would pass 4 GiB.
  // StoreFile streams a source of kLargeEntryThreshold bytes or more instead
  // of reading it whole, taking its CRC-32 on the way.
  bool StoreBuffer(size_t index, std::span<const uint8_t> data);
  bool StoreFile(size_t index);
  // Appends `stored`, the bytes PackBuffer returned for this entry (whose
  // sizes and checksum it set), and sets Offset: StoreBuffer split in two, so
  // that a writer can pack several entries at once (PackBuffer calls on
  // different entries may run on different threads once every AddEntry is
  // done) and append them in order. False for a bad index or no bytes.
  bool StorePacked(size_t index, std::span<const uint8_t> stored);
  // Appends the directory and the trailer. Until then a reader sees no entries.
  void WriteDirectory();

 private:
  void Open(PakMode mode);
  // Takes a read's verdict as this archive's own: LastLoadError, and the
  // DecompSize box for a wrong unpacked length. Returns check.Sound.
  bool Record(const TPakFile& e, const EntryVerdict& check);
  const TPakFile* ReadableEntry(size_t index);
  std::optional<size_t> ScanGroup(uint16_t group);
  std::vector<size_t> UnpackedInGroup(uint16_t group) const;
  bool ExtractEntry(FileSystem& files, const std::string& target, const PakFound& found, size_t index);
  bool WriteEntryFile(RandomAccessFile& out, size_t index);
  bool CopyLargeEntryTo(RandomAccessFile& out, const std::string& displayName, uint32_t size, size_t index);
  // Makes the missing folders of target's folder (checked once per folder during ExtractGroup).
  void CreateFoldersOf(FileSystem& files, const std::string& target);
  // Creates target's missing folders and the file writeTo in its folder.
  std::unique_ptr<RandomAccessFile> CreateTarget(FileSystem& files, const std::string& target,
                                                 const std::string& writeTo);
  uint32_t AppendStored(std::span<const uint8_t> bytes);
  std::string ByteSizeText(uint64_t bytes) const;
  void Fail(std::string why);

  std::unique_ptr<RandomAccessFile> owned_;
  RandomAccessFile* file_ = nullptr;
  Dialogs* dialogs_ = nullptr;
  PakEvents events_;
  PakMode mode_ = PakMode::kReader;
  TPakTrailer trailer_;
  std::vector<TPakFile> files_;
  size_t cursor_ = 0;
  // During ExtractGroup: the last folder CreateTarget saw to exist, and the
  // workers unpacking the group's entries ahead of the writing.
  std::string known_dir_;
  InflatePipeline* pipeline_ = nullptr;
  bool valid_ = false;
  uint64_t end_ = 0;  // reader: where the trailer ends
  std::string last_error_;
  Compressor compressor_;
  std::unique_ptr<PakEntryReader> reader_;  // StreamEntry's and VerifyEntry's
};

}  // namespace ferry
