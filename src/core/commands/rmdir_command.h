// "rmdir" (command 12): delete a folder tree.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TRMDirCommand : public TCommandClass {
 public:
  TRMDirCommand();
};

}  // namespace ferry
