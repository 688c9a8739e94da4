// "writeregstr" (command 9): write a registry string value.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TWriteRegStrCommand : public TCommandClass {
 public:
  TWriteRegStrCommand();
};

}  // namespace ferry
