// "iffileexists" (command 6): jump depending on whether a file exists.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TIfFileExistsCommand : public TCommandClass {
 public:
  TIfFileExistsCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
