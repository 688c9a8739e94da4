#include "formats/vfs/vfs_fs.h"

#include "base/setup_error.h"

namespace ferry {

void RemoveVfsFile(FileSystem& fs, const std::string& path) {
  if (!fs.RemoveFile(path)) throw SetupError("Cannot delete " + path);
}

}  // namespace ferry
