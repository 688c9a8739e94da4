// "rkpofficial" (command 27): package archive operation.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TRKPOfficialCommand : public TCommandClass {
 public:
  TRKPOfficialCommand();
};

}  // namespace ferry
