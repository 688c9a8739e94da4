// "writeregstr" (command 9): write a registry string value.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TWriteRegStrCommand : public TCommandClass {
 public:
  TWriteRegStrCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
