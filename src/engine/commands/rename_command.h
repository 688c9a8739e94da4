// "rename" (command 31): rename a file.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TRenameCommand : public TCommandClass {
 public:
  TRenameCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
