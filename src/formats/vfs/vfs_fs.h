// The files an archive update touches (the archive, its side hash table and
// its journal) live in the one FileSystem; on disk in the program, in memory
// in tests, where every write can be counted and interrupted.
#pragma once

#include <string>

#include "base/file_system.h"

namespace ferry {

// Deletes a file; a missing file is not an error. Throws SetupError when an
// existing file cannot be deleted.
void RemoveVfsFile(FileSystem& fs, const std::string& path);

}  // namespace ferry
