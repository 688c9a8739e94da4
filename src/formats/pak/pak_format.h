// The setup archive's format, shared by its reader (pak_reader.h), its
// writer (pak_writer.h) and the group extractor (group_extractor.h): the
// setup archive appended to the setup program, and the archives the program
// writes itself (the uninstaller's).
//
// Layout of a file carrying an archive (little-endian):
//   [0, DataStart)            the host program
//   entry data                each entry's stored bytes at its Offset
//   directory                 at DirectoryOffset, EntryCount entries:
//                               u16 name length, name bytes (8-bit, no terminator),
//                               u32 Checksum, u32 Offset, u32 CompSize, u32 OrigSize,
//                               u16 Group, and in a Version 2 directory u8 Kind
//   trailer (last 16 bytes)   "RKPF", u16 Version (1, or 2 when any entry's
//                             Kind is not kEntryWhole), u16 EntryCount,
//                             u32 DataStart, u32 DirectoryOffset
//
// Stored bytes are a zlib stream of CompSize bytes (level 9) or a zstd frame
// (when the writer was given ZstdPack; told apart by their first bytes, see
// pak_codec.h), or, when CompSize is 0, the OrigSize data bytes themselves.
// Checksum is the CRC-32 of the stored bytes exactly as they lie in the file
// (the compressed bytes for a compressed entry). A delta entry's stored bytes
// (CompSize of them, whatever its OrigSize) are laid out in delta_format.h. Group 0 is the setup's own data; group g >= 1 is the
// payload of the g-th group-consuming line of the command stream.
//
// In a signed program the signature's certificate table follows the archive
// (see formats/pak/pe_image.h): the trailer then ends where the table starts, or
// up to 7 zero bytes before it. Any other bytes after the trailer, or a
// damaged certificate table, and the file carries no archive.
//
// The archive is untrusted input: every offset, size and count read from it is
// checked against the archive's end before anything is read or allocated, and
// damage shows as "no entries", "no data" or false, never as a read outside
// the archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferry {

// Entries of this OrigSize or more are never compressed, are copied to disk in
// chunks instead of being loaded, and are verified by streaming their stored
// bytes (a Checksum of 0 there means "not checked": archives written before
// large entries carried one).
inline constexpr uint32_t kLargeEntryThreshold = 73'400'320;  // 70 MiB
// Extraction reports a large entry's copy once per this many bytes (copied
// through a buffer of kVerifyChunkSize).
inline constexpr uint32_t kCopyChunkSize = 26'214'400;  // 25 MiB
// The one buffer verification streams a large entry through, and
// extraction copies it through: all the memory either takes, whatever
// the entry's size.
inline constexpr uint32_t kVerifyChunkSize = 1'048'576;  // 1 MiB
// Every other entry streams through one buffer of stored bytes and one of
// unpacked bytes of this size (StreamEntry), whatever its size.
inline constexpr uint32_t kStreamChunkSize = 1'048'576;  // 1 MiB
inline constexpr size_t kPakTrailerSize = 16;
inline constexpr char kPakMagic[4] = {'R', 'K', 'P', 'F'};

struct PakTrailer {
  char Magic[4] = {0, 0, 0, 0};
  uint16_t Version = 0;
  uint16_t EntryCount = 0;
  uint32_t DataStart = 0;
  uint32_t DirectoryOffset = 0;
};

// What an entry's stored bytes make (Kind; Version 1 directories hold only
// whole files).
inline constexpr uint8_t kEntryWhole = 0;
// The file is made from the file installed at its path (delta_format.h).
inline constexpr uint8_t kEntryDelta = 1;
// The same file whole, right after its delta entry in the same group:
// written only when the installed file is not the delta's base.
inline constexpr uint8_t kEntryWholeFallback = 2;

struct PakFile {
  std::string Name;
  uint32_t Checksum = 0;
  uint32_t Offset = 0;
  uint32_t CompSize = 0;
  uint32_t OrigSize = 0;
  uint16_t Group = 0;
  uint8_t Kind = kEntryWhole;
};

// Result of FindFirst / FindNext. The end of an enumeration is the empty Name.
struct PakFound {
  std::optional<std::vector<uint8_t>> Data;  // only when data was asked for and loaded
  uint32_t Size = 0;                          // the entry's OrigSize
  std::string Name;
};

// What reading an entry found.
struct EntryVerdict {
  bool Sound = false;
  std::string Error;  // why not, when not Sound
  // Set when the stream was sound but unpacked to a length other than
  // OrigSize: that length (the reader's user may name it to the person).
  std::optional<uint64_t> WrongLength;

  // A damaged entry, and why.
  static EntryVerdict Damaged(std::string why) {
    EntryVerdict verdict;
    verdict.Error = std::move(why);
    return verdict;
  }
};

// Where an entry's unpacked bytes go, in order.
using ByteSink = std::function<void(std::span<const uint8_t> bytes)>;

// How many threads read an archive's entries at once: the cores, at most 4.
unsigned ReaderThreads();

}  // namespace ferry
