// The listing of a payload folder, one for every archive command that takes
// a folder: the script compiler's payload groups and the package and VFS
// archive tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ferry::tool {

// The files below `folder`, recursively, as (Windows name relative to the
// folder with backslashes, host path, size), sorted by name. Problems
// (unreadable folders, names the code page cannot hold, names Windows cannot
// create, two names that differ only in letter case) are appended to
// `problems`; a file whose name is refused is left out.
struct ListedFile {
  std::string Name;
  std::filesystem::path Path;
  uint64_t Size = 0;
};
std::vector<ListedFile> ListPayloadFolder(const std::filesystem::path& folder,
                                          std::vector<std::string>& problems);
// The same for the archive tools: any problem is thrown as one SetupError.
std::vector<ListedFile> ListPayloadFolderOrThrow(const std::filesystem::path& folder);

}  // namespace ferry::tool
