// "rkpupdate" (command 11): update a product package archive from a payload group.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TRKPUpdateCommand : public TCommandClass {
 public:
  TRKPUpdateCommand();
};

}  // namespace ferry
