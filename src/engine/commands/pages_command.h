// "pages" (command 20): setting: PageSet.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TPagesCommand : public TCommandClass {
 public:
  TPagesCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
