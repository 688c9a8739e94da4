// "createdirectory" (command 13): create a folder.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TCreateDirectoryCommand : public TCommandClass {
 public:
  TCreateDirectoryCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
