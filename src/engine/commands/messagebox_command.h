// "messagebox" (command 16): ask OK/Cancel and jump.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TMessageBoxCommand : public TCommandClass {
 public:
  TMessageBoxCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
