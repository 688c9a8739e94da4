#include "engine/command_run.h"

#include "base/file_system.h"
#include "engine/system.h"

namespace ferry {

FileSystem& CommandRun::Files() const { return System ? System->Files() : DiskFileSystem(); }

}  // namespace ferry
