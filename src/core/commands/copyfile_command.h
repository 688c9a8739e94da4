// "copyfile" (command 17): copy a file.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TCopyFileCommand : public TCommandClass {
 public:
  TCopyFileCommand();
};

}  // namespace ferry
