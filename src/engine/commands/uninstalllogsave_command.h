// "uninstalllogsave" (command 26): save the install log.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TUninstallLogSaveCommand : public TCommandClass {
 public:
  TUninstallLogSaveCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry
