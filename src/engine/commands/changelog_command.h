// "changelog" (command 10): setting: ChangelogName.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TChangelogCommand : public TCommandClass {
 public:
  TChangelogCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
