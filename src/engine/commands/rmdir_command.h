// "rmdir" (command 12): delete a folder tree.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TRMDirCommand : public TCommandClass {
 public:
  TRMDirCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
