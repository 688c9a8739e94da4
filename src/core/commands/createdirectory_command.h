// "createdirectory" (command 13): create a folder.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TCreateDirectoryCommand : public TCommandClass {
 public:
  TCreateDirectoryCommand();
};

}  // namespace ferry
