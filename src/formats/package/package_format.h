// Product package archives: the layout on disk and the pure reading and
// writing of their tail (directory, header, trailer). No policy lives here:
// the package system (package_updater.h) decides what a damaged package means.
//
// Layout (little-endian), from the start of the file:
//   entry data       anywhere before the directory; each record gives the
//                    absolute offset of its stored bytes
//   directory        one zlib stream inflating to EntryCount records of 152 bytes
//   header, 20 bytes u32 DirCompSize, u32 DirSize, u32 FormatVersion (5),
//                    u32 EntryCount, u32 reserved (0)
//   trailer          one of:
//                      none      the header ends the file
//                      "RKP2"    + 9 bytes: plain password (letters and digits,
//                                then padding)                      13 bytes
//                      "RKP3" 1 r + password block that ends the file:
//                                "EIH1"|"EIH2", u8 KeyParam1, u8 KeyParam2,
//                                u16 n, n bytes of enciphered password,
//                                "EIH2" only: u8 official flag
//
// A reader finds the "RKP3" tag only within the last 56 bytes, so a password
// block is at most 50 bytes and a stored password at most 41 bytes: longer
// ones are refused before anything is written.
//
// Record (152 bytes): u16 Marker, u8 Kind, u8 Spare, u32 FileDate (DOS
// date << 16 | time), u32 StoredSize, u32 OrigSize, u32 DataOffset,
// u32 RunTimeSlot, 128-byte Name (length byte + up to 127 characters, zeros
// after). Kind 2 stores a level-9 zlib stream with a scrambled head, kind 1 a
// sound entry (sound_entry.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/dos_time.h"
#include "base/random_access_file.h"

namespace ferry {

inline constexpr uint32_t kPackageFormatVersion = 5;
inline constexpr size_t kPackageHeaderSize = 20;
inline constexpr size_t kPackageEntrySize = 152;
inline constexpr size_t kPackageNameMax = 127;
inline constexpr size_t kRkp2TrailerSize = 13;
inline constexpr size_t kRkp3TagSize = 6;
// The reader looks for the "RKP3" tag ending at most this many bytes before
// the end of the file: the password block is at most this long.
inline constexpr size_t kMaxPasswordBlock = 50;
// 50 bytes of block minus "EIH2", two key parameters, the u16 length and the
// official byte.
inline constexpr size_t kMaxPackagePasswordLength = 41;
inline constexpr uint16_t kPackageEntryMarker = 0x0A0D;

enum PackageEntryKind : uint8_t {
  kSoundEntryKind = 1,
  kZlibEntryKind = 2,
};

struct PackageHeader {
  uint32_t DirCompSize = 0;
  uint32_t DirSize = 0;
  uint32_t FormatVersion = 0;
  uint32_t EntryCount = 0;
  uint32_t Reserved = 0;
};

struct PackageEntry {
  uint16_t Marker = 0;
  uint8_t Kind = 0;
  uint8_t Spare = 0;
  uint32_t FileDate = 0;
  uint32_t StoredSize = 0;
  uint32_t OrigSize = 0;
  uint32_t DataOffset = 0;
  uint32_t RunTimeSlot = 0;
  std::string Name;  // at most 127 characters
};

struct PackageExtraInfo {
  bool HasPassword = false;
  bool Official = false;
  std::string Password;
};

enum class PackageTrailerForm { kNone, kRkp2, kRkp3 };

// What the trailer of a package said.
struct PackageTrailer {
  PackageTrailerForm Form = PackageTrailerForm::kNone;
  size_t Length = 0;  // bytes after the header
  std::array<uint8_t, kRkp2TrailerSize> Rkp2{};  // the "RKP2" trailer as read
  std::array<uint8_t, kRkp3TagSize> Rkp3Tag{};   // the "RKP3" tag as read
  std::string BlockTag;                           // "EIH1", "EIH2" or empty
  uint8_t KeyParam1 = 0;
  uint8_t KeyParam2 = 0;
  PackageExtraInfo Info;
};

enum class PackageReadStatus {
  kOk,
  kCorruptHeader,  // header, sizes or inflated length do not add up
  kInflateError,   // the directory stream is not a zlib stream
};

// Everything after the entry data.
struct PackageTail {
  PackageReadStatus Status = PackageReadStatus::kOk;
  std::string Problem;  // what was wrong, for tools and logs
  PackageTrailer Trailer;
  PackageHeader Header;
  uint64_t FileSize = 0;
  uint64_t CutPosition = 0;  // the directory's first byte
  std::vector<PackageEntry> Entries;
};

// Reads trailer, header and directory. Never reads outside the file; a
// damaged package comes back with a status other than kOk.
PackageTail ReadPackageTail(RandomAccessFile& file);
PackageTrailer ReadPackageTrailer(RandomAccessFile& file);

PackageEntry DecodePackageEntry(std::span<const uint8_t> record);
void EncodePackageEntry(const PackageEntry& e, std::vector<uint8_t>& out);

// Directory stream, header and an "RKP3"/"EIH2" trailer for these records.
// `rkp3Reserved` is the tag's reserved byte to write back. The password must
// not be longer than kMaxPackagePasswordLength (SetupError otherwise).
// SetupError too when the enciphered password makes the reader find another
// trailer than this one (it holds "RKP3" itself, say): such a package could
// never be opened again.
std::vector<uint8_t> BuildPackageTail(std::span<const PackageEntry> entries, const PackageExtraInfo& info,
                                      uint8_t rkp3Reserved, uint8_t keyParam1, uint8_t keyParam2);

// Key parameters are drawn from 2 to 6.
inline constexpr uint8_t kMinKeyParam = 2;
inline constexpr uint8_t kMaxKeyParam = 6;
// Draws of a random pair before every pair is tried in turn.
inline constexpr int kKeyParamDraws = 32;

// The same with key parameters drawn from `drawKeyParam` (a pair at a time)
// until the tail reads back as written; the pair used goes to keyParam1/2.
// SetupError when no pair at all does (PackagePasswordStorable is false).
std::vector<uint8_t> BuildPackageTail(std::span<const PackageEntry> entries, const PackageExtraInfo& info,
                                      uint8_t rkp3Reserved, const std::function<uint8_t()>& drawKeyParam,
                                      uint8_t* keyParam1 = nullptr, uint8_t* keyParam2 = nullptr);

// True when `tail` (ending in header and "RKP3"/"EIH2" trailer for `info`),
// read the way a package is read, gives this trailer at this length, hence
// this header, and this password and official flag.
bool PackageTailReadsBack(std::span<const uint8_t> tail, const PackageExtraInfo& info);

// Whether some pair of key parameters stores this password readably.
bool PackagePasswordStorable(const PackageExtraInfo& info);

// Kind 2: XORs the CRC-32 of bytes 4.. into the first four bytes (a u32).
// Streams of 4 bytes or fewer are left alone. Its own inverse.
void ScrambleHead(std::span<uint8_t> stored);

// Level-9 zlib stream of the data.
std::vector<uint8_t> PackageDeflate(std::span<const uint8_t> data);
enum class InflateStatus { kOk, kWrongLength, kBadStream };
// Inflates a zlib stream that should give exactly `expected` bytes; never
// produces more than that.
InflateStatus PackageInflate(std::span<const uint8_t> stream, size_t expected, std::vector<uint8_t>& out);

// The stored bytes of a kind-2 entry back to the file's bytes; false when
// they do not inflate to `origSize` bytes.
bool UnpackZlibEntry(std::span<const uint8_t> stored, uint32_t origSize, std::vector<uint8_t>& out);

// "YYYY-MM-DD hh:mm:ss" for tools.
std::string FormatDosDateTime(uint32_t dos);

}  // namespace ferry
