// "failure" (command 19): report failure and stop the run.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TFailureCommand : public TCommandClass {
 public:
  TFailureCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
