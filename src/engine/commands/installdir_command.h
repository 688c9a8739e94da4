// "installdir" (command 4): setting: InstallDir.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TInstallDirCommand : public TCommandClass {
 public:
  TInstallDirCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
