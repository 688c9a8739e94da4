// "goto" (command 1): jump to a line (the parameter holds a line index).
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TGotoCommand : public TCommandClass {
 public:
  TGotoCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
