// The interactive wizard on Windows: the wizard model with its window, the
// setup thread and the hand-over of its progress to the window's controls.
#pragma once

#include <functional>

namespace ferry {

class Dialogs;
class RunLog;
class TWizardModel;
struct TSetupContext;
struct TStubOptions;

struct TWizardWindowArgs {
  TSetupContext* ctx = nullptr;
  const TStubOptions* options = nullptr;
  Dialogs* dialogs = nullptr;
  // The uninstaller's work page; none: an uninstall page reports that this
  // program cannot uninstall (an error that ends the run).
  std::function<void(TWizardModel&)> run_uninstall;
  // The uninstaller's finishing program, after its Finish page.
  std::function<void()> run_finaliser;
};

// After start-up without /S: shows the wizard and runs its message loop
// until it closes. Returns the process exit code.
int RunWizardWindow(const TWizardWindowArgs& args);

}  // namespace ferry
