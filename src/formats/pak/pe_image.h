// Program files (PE images) and the certificate table a code signature
// appends to them, so that data appended before the signature (the setup
// archive) can still be found, and so that a copy of a signed program can be
// made an unsigned one.
//
// Fields read (little-endian, offsets from the start of each header):
//   DOS header       "MZ"; u32 e_lfanew at 0x3C
//   at e_lfanew      "PE\0\0", then the 20-byte file header
//                    (u16 SizeOfOptionalHeader at 16)
//   optional header  u16 Magic: 0x10B (PE32) or 0x20B (PE32+); u32 CheckSum at 64;
//                    u32 NumberOfRvaAndSizes at 92 (PE32) / 108 (PE32+), then the
//                    data directories, 8 bytes each (u32 address, u32 size);
//                    index 4 is the security directory, whose address is a file
//                    offset, not an RVA
//   certificate table  WIN_CERTIFICATE entries: u32 dwLength (this 8-byte header
//                    included), u16 revision, u16 type, the certificate; each
//                    padded to a multiple of 8 bytes
//
// A signer appends the table at the very end of the file, after padding the
// file with up to 7 zero bytes so that the table starts on a multiple of 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/random_access_file.h"

namespace ferry {

inline constexpr uint64_t kPeTableAlignment = 8;
// A real table holds one signature of some kilobytes; more is damage.
inline constexpr uint64_t kMaxCertificateTable = 16ull << 20;

// Where data appended to `file` ends: the file's size when it is no PE image
// or its security directory is empty, else the start of its certificate
// table. None when the security directory is damaged: the table does not end
// exactly at the end of the file, starts inside the headers or off a multiple
// of 8, is larger than kMaxCertificateTable, or its entries' padded lengths
// do not cover it exactly.
std::optional<uint64_t> PeAppendedDataEnd(RandomAccessFile& file);

// Makes the headers of `image` those of an unsigned program: the security
// directory entry and the optional header's CheckSum become 0 (the table's
// bytes, if any, are left where they are). False, and nothing changed, when
// `image` is no PE image with a security directory entry.
bool PeClearSecurityEntry(RandomAccessFile& image);

// Sets the optional header's CheckSum to 0 ("none": a program loader does
// not ask for one). False, and nothing changed, when `image` is no PE image.
bool PeClearCheckSum(RandomAccessFile& image);

// Writes the optional header's CheckSum for the file as it now is (the
// 16-bit one's-complement sum of the file, the field itself read as 0 and an
// odd last byte as a word of its own, plus the file's length), so that a
// checking tool finds the program sound. False,
// and nothing changed, when `image` is no PE image with a security entry.
bool PeWriteCheckSum(RandomAccessFile& image);

}  // namespace ferry
