// "uninstallpages" (command 22): setting: UninstallPageSet and MakeUninstaller.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TUninstallPagesCommand : public TCommandClass {
 public:
  TUninstallPagesCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
