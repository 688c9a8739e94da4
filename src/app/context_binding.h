// The one place the running setup's context meets the real system: the
// run's progress, its message boxes and the uninstaller's registration are
// bound for the wizard's run and unbound again, whatever way the run ends.
#pragma once

#include "base/dialogs.h"
#include "engine/setup_context.h"
#include "platform/private_folder.h"
#include "platform/uninstall/registration.h"

namespace ferry {

class ContextBinding {
 public:
  ContextBinding(SetupContext& ctx, ProgressSinks& progress, Dialogs& dialogs, PrivateFolder& temp) : ctx_(ctx) {
    ctx_.Progress.Bind(&progress);
    ctx_.Dialog = &dialogs;
    ctx_.RegisterUninstall = [&temp](SetupContext& c) { RegisterUninstall(c, temp); };
  }
  ~ContextBinding() {
    ctx_.RegisterUninstall = nullptr;
    ctx_.Dialog = nullptr;
    ctx_.Progress.Bind(nullptr);
  }
  ContextBinding(const ContextBinding&) = delete;
  ContextBinding& operator=(const ContextBinding&) = delete;

 private:
  SetupContext& ctx_;
};

}  // namespace ferry
