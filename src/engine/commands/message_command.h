// "message" (command 15): show a text on the progress page.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TMessageCommand : public TCommandClass {
 public:
  TMessageCommand();
  // Checks the text's "<LANGn>" references.
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
