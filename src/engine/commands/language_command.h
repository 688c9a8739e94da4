// "language" (command 18): compile time only: adds a language table to the archive.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TLanguageCommand : public TCommandClass {
 public:
  TLanguageCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry
