// "prefix" (command 24): setting: UninstallPrefix and UninstallExeName.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TUninstallPrefixCommand : public TCommandClass {
 public:
  TUninstallPrefixCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
