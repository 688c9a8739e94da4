// The one place the running setup's context meets the real system: the
// run's progress, its message boxes and the uninstaller's registration are
// bound for the wizard's run and unbound again, whatever way the run ends.
#pragma once

#include "base/dialogs.h"
#include "engine/setup_context.h"
#include "platform/uninstall/registration.h"

namespace ferry {

class TContextBinding {
 public:
  TContextBinding(TSetupContext& ctx, TProgressSinks& progress, Dialogs& dialogs) : ctx_(ctx) {
    ctx_.Progress.Bind(&progress);
    ctx_.Dialog = &dialogs;
    ctx_.RegisterUninstall = [](TSetupContext& c) { RegisterUninstall(c); };
  }
  ~TContextBinding() {
    ctx_.RegisterUninstall = nullptr;
    ctx_.Dialog = nullptr;
    ctx_.Progress.Bind(nullptr);
  }
  TContextBinding(const TContextBinding&) = delete;
  TContextBinding& operator=(const TContextBinding&) = delete;

 private:
  TSetupContext& ctx_;
};

}  // namespace ferry
