// "delete" (command 8): delete a file.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TDeleteCommand : public TCommandClass {
 public:
  TDeleteCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
