// "vfsupdate" (command 30): update a virtual-file-system archive from a payload group.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TVFSUpdateCommand : public TCommandClass {
 public:
  TVFSUpdateCommand();
};

}  // namespace ferry
