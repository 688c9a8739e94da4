// Making and checking archives, for ferryc, tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferry {

class FileSystem;

struct VfsCreateOptions {
  uint32_t BlockSize = 4096;
  uint32_t BlockCount = 1024;
  uint32_t RootCount = 64;
  bool SideFile = false;  // an empty side hash table beside the archive
  std::string Description;
};

// A new, empty archive (replacing any file at `path`), with its digest.
void CreateVfsArchive(FileSystem& fs, const std::string& path, const VfsCreateOptions& options);

struct VfsCheckReport {
  bool RolledBack = false;  // an interrupted update was undone first
  std::vector<std::string> Errors;
  std::vector<std::string> Warnings;
  uint32_t Files = 0;
  uint32_t Directories = 0;
  uint32_t UsedBlocks = 0;  // blocks whose Next is not 0
  bool Ok() const { return Errors.empty(); }
};

// Digest, chains (inside the table, no loops, not shared, long enough, data
// inside the file), free count against UsedBlocks, compressed contents, and
// the side file against the tree. Rolls back an interrupted update first.
VfsCheckReport CheckVfsArchive(FileSystem& fs, const std::string& path);

}  // namespace ferry
