// "failure" (command 19): report failure and stop the run.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TFailureCommand : public TCommandClass {
 public:
  TFailureCommand();
};

}  // namespace ferry
