// "uninstalllogload" (command 25): load an install log.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TUninstallLogLoadCommand : public TCommandClass {
 public:
  TUninstallLogLoadCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
