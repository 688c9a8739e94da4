// "outfile" (command 3): setting: SetupExeName.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TOutFileCommand : public TCommandClass {
 public:
  TOutFileCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
