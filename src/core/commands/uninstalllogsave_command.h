// "uninstalllogsave" (command 26): save the install log.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TUninstallLogSaveCommand : public TCommandClass {
 public:
  TUninstallLogSaveCommand();
};

}  // namespace ferry
