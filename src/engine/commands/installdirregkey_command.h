// "installdirregkey" (command 5): setting: InstallDirRegKey (root, key, value name).
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TInstallDirRegKeyCommand : public TCommandClass {
 public:
  TInstallDirRegKeyCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
