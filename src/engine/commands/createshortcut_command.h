// "createshortcut" (command 14): create a shortcut file.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TCreateShortCutCommand : public TCommandClass {
 public:
  TCreateShortCutCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
