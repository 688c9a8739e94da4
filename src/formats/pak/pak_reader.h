// Reading a setup archive (the format is in pak_format.h): its directory,
// each entry's bytes and verdict, and the start-up check of every entry on a
// few threads (parallel_verify.cpp). A read says what it found as an
// EntryVerdict; what to tell the person is the caller's business.
//
// One PakReader has a single enumeration cursor and takes no lock: one thread
// at a time, and group enumerations (FindFirst / FindNext, FindFirstIndex /
// FindNextIndex, ForEachInGroup) must not be nested or interleaved.
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
#include "formats/pak/pak_format.h"

namespace ferry {

class PakEntryReader;

// The trailer of the archive `file` carries, read without its directory;
// none when the file ends (before a certificate table) in no trailer with
// the magic.
std::optional<PakTrailer> ReadPakTrailer(RandomAccessFile& file);

class PakReader {
 public:
  // The archive in the file `fileName`; a file that cannot be opened gives a
  // blank trailer and no entries.
  explicit PakReader(const NativePath& fileName);
  // Over a file that is already open; the first form owns it, the second
  // borrows it (it must outlive the reader).
  explicit PakReader(std::unique_ptr<RandomAccessFile> file);
  explicit PakReader(RandomAccessFile& file);
  ~PakReader();
  PakReader(const PakReader&) = delete;
  PakReader& operator=(const PakReader&) = delete;

  // ---- Directory -------------------------------------------------------

  const PakTrailer& Trailer() const { return trailer_; }
  // The trailer begins with "RKPF" (what start-up checks).
  bool HasMagic() const;
  // HasMagic() and the whole directory lay inside the file. A trailer with
  // the magic but a directory that does not fit leaves no entries.
  bool IsValid() const { return valid_; }
  const std::vector<PakFile>& Files() const { return files_; }
  size_t EntryCount() const { return files_.size(); }
  // nullptr for an index past the last entry.
  const PakFile* Entry(size_t index) const;
  size_t Cursor() const { return cursor_; }
  // Where the trailer ends (the file's size unless the file is signed); 0
  // while the reader has no valid directory.
  uint64_t ArchiveEnd() const { return end_; }
  // The open file, for readers of their own on other threads (it allows
  // concurrent ReadAt); nullptr once closed.
  RandomAccessFile* File() const { return file_; }
  size_t CountPayloadEntries() const;  // entries whose Group is not 0
  size_t CountGroup(uint16_t group) const;

  // Reads trailer and directory again (the constructors run it). No "RKPF":
  // no entries.
  void ReadDirectory();

  // ---- Entries ---------------------------------------------------------

  // The entry's OrigSize unpacked bytes, or none: bad index, OrigSize 0,
  // stored bytes outside the file, checksum mismatch, a compressed stream that
  // does not unpack, or an unpacked length other than OrigSize. LastVerdict()
  // says which.
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index);
  // The same checks, the unpacked bytes handed to `sink` in order, in pieces
  // of at most kStreamChunkSize, and no more than OrigSize of them (the rest
  // is counted for the verdict's WrongLength). Damage is known only at the
  // end: false then (LastVerdict says why) after `sink` may have had bytes.
  // Exceptions of `sink` pass through.
  bool StreamEntry(size_t index, const ByteSink& sink);
  // A large entry (OrigSize >= kLargeEntryThreshold) is sound when its OrigSize
  // stored bytes lie in the archive and their CRC-32, streamed in chunks of
  // kVerifyChunkSize, equals Checksum; with Checksum 0 it is sound unread. Any
  // other entry is sound when StreamEntry succeeds. Bad index: false.
  bool VerifyEntry(size_t index);
  // VerifyEntry for every entry whose OrigSize is not 0, on up to `threads`
  // threads reading at once, but a zstd entry is not unpacked (see
  // VerifyDepth::kZstdHead in entry_reader.h). `verified(i)` is called on the calling thread
  // for each entry i in directory order once it and every entry before it
  // are sound. Returns the first damaged entry by index (its verdict in
  // LastVerdict; no entry after it is reported), none when all are sound.
  std::optional<size_t> VerifyEntries(unsigned threads, const std::function<void(size_t index)>& verified);
  // The verdict of the last LoadEntry, StreamEntry, VerifyEntry or
  // VerifyEntries (sound after a success).
  const EntryVerdict& LastVerdict() const { return last_; }
  // Why the last read failed (empty after a success).
  const std::string& LastLoadError() const { return last_.Error; }
  // First entry in directory order whose name equals `name` ignoring case
  // (ANSI lower-casing, whole name, no separator folding) and whose Group is
  // `group`, loaded with LoadEntry. *origSize := its OrigSize (also when the
  // load failed), 0 when there is no such entry.
  std::optional<std::vector<uint8_t>> LoadByName(std::string_view name, uint16_t group,
                                                 uint32_t* origSize = nullptr);

  // ---- Enumeration -----------------------------------------------------

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

  // Closes the file. Later reads find no data.
  void Close();

 private:
  // Takes a read's verdict as the last one; returns check.Sound.
  bool Record(EntryVerdict check);
  const PakFile* ReadableEntry(size_t index);
  std::optional<size_t> ScanGroup(uint16_t group);

  std::unique_ptr<RandomAccessFile> owned_;
  RandomAccessFile* file_ = nullptr;
  PakTrailer trailer_;
  std::vector<PakFile> files_;
  size_t cursor_ = 0;
  bool valid_ = false;
  uint64_t end_ = 0;  // where the trailer ends
  EntryVerdict last_;
  std::unique_ptr<PakEntryReader> reader_;  // StreamEntry's and VerifyEntry's
};

}  // namespace ferry
