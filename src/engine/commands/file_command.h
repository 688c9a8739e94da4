// "file" (command 7): extract a payload group into the install directory.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TFileCommand : public TCommandClass {
 public:
  TFileCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
