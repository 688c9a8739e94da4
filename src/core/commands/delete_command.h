// "delete" (command 8): delete a file.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TDeleteCommand : public TCommandClass {
 public:
  TDeleteCommand();
};

}  // namespace ferry
