// "createshortcut" (command 14): create a shortcut file.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TCreateShortCutCommand : public TCommandClass {
 public:
  TCreateShortCutCommand();
};

}  // namespace ferry
