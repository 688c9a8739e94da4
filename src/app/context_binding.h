// The one place the running setup's context meets the real system: the
// run's progress, its message boxes, the boxes of its failures and the
// uninstaller's registration are
// bound for the wizard's run and unbound again, whatever way the run ends.
#pragma once

#include "base/dialogs.h"
#include "engine/setup_context.h"
#include "platform/private_folder.h"
#include "platform/uninstall/registration.h"

namespace ferry {

// The run's failures that ask for a box, shown by the wizard's dialogs (a
// silent run's write them to its log).
class FailureBoxes : public FailureListener {
 public:
  explicit FailureBoxes(Dialogs& dialogs) : dialogs_(dialogs) {}
  void ShowFailure(const RunFailure& failure) override {
    dialogs_.Show(failure.What, failure.BoxCaption, DialogButtons::kOk, failure.BoxIcon);
  }

 private:
  Dialogs& dialogs_;
};

class ContextBinding {
 public:
  ContextBinding(SetupContext& ctx, ProgressSinks& progress, Dialogs& dialogs, PrivateFolder& temp)
      : ctx_(ctx), boxes_(dialogs) {
    ctx_.Progress.Bind(&progress);
    ctx_.Record.SetListener(&boxes_);
    ctx_.Dialog = &dialogs;
    ctx_.RegisterUninstall = [&temp](SetupContext& c, System* system, bool finished) {
      RegisterUninstall(c, system, temp, finished);
    };
  }
  ~ContextBinding() {
    ctx_.RegisterUninstall = nullptr;
    ctx_.Dialog = nullptr;
    ctx_.Record.SetListener(nullptr);
    ctx_.Progress.Bind(nullptr);
  }
  ContextBinding(const ContextBinding&) = delete;
  ContextBinding& operator=(const ContextBinding&) = delete;

 private:
  SetupContext& ctx_;
  FailureBoxes boxes_;
};

}  // namespace ferry
