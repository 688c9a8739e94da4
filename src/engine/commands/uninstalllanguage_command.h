// "uninstalllanguage" (command 23): compile time only: adds an uninstall language table to the archive.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TUninstallLanguageCommand : public TCommandClass {
 public:
  TUninstallLanguageCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
