// "copyfile" (command 17): copy a file.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TCopyFileCommand : public TCommandClass {
 public:
  TCopyFileCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
