// "message" (command 15): show a text on the progress page.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TMessageCommand : public TCommandClass {
 public:
  TMessageCommand();
};

}  // namespace ferry
