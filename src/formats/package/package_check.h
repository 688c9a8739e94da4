// Checking a product package archive as a whole, before it is changed: the
// tail (trailer, header, directory) and every entry's stored bytes. A kind-2
// entry's zlib stream carries its own checksum (Adler-32), so it is inflated
// to the end and its length compared with OrigSize; a sound entry carries
// none, so its header must describe exactly the bytes stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferry {

class RandomAccessFile;

struct PackageCheckReport {
  std::vector<std::string> Errors;  // "directory stream does not inflate", "entry maps\a.map: ..."
  uint32_t Entries = 0;
  bool Ok() const { return Errors.empty(); }
};

// Reads the file in pieces of at most 1 MiB; memory stays flat whatever an
// entry claims.
PackageCheckReport CheckPackageArchive(RandomAccessFile& file);

}  // namespace ferry
