// "rename" (command 31): rename a file.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TRenameCommand : public TCommandClass {
 public:
  TRenameCommand();
};

}  // namespace ferry
