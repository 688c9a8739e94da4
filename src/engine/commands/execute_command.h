// "execute" (command 32): run a program and wait for it.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TExecuteCommand : public TCommandClass {
 public:
  TExecuteCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
