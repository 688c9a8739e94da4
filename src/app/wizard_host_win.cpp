#include "app/wizard_host_win.h"

#include <windows.h>

#include <memory>

#include "formats/pak/pak_file.h"
#include "base/setup_error.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "app/running_wizard_host_win.h"
#include "platform/setup_thread_win.h"
#include "app/silent_install_win.h"
#include "engine/startup.h"
#include "platform/startup_win.h"
#include "platform/drive_info.h"
#include "wizard/debug_listing.h"
#include "views/win32/debug_form.h"
#include "views/win32/main_form.h"
#include "platform/ui_task.h"
#include "wizard/wizard_model.h"

#include "platform/uninstall_win.h"

namespace ferry {

namespace {

// Runs on the setup thread: every change is carried out on the main thread
// (the model, then the window through StateChanged) before the thread goes on.
class TWindowSinks : public TProgressSinks {
 public:
  explicit TWindowSinks(TUiTaskWindow& ui) : ui_(ui) {}
  void SetModel(TWizardModel* model) { model_ = model; }

  void SetStatusText(std::u16string_view text) override {
    ui_.Send([&] {
      if (model_) model_->SetStatusText(text);
    });
  }
  void SetMessageText(std::u16string_view text, bool) override {
    ui_.Send([&] {
      if (model_) model_->SetMessageText(text);
    });
  }
  void SetGaugePosition(int32_t position) override {
    ui_.Send([&] {
      if (model_) model_->SetGaugePosition(position);
    });
  }
  // One hand-over for the step after a file and the next file's name.
  void SetGaugeAndStatusText(int32_t position, std::u16string_view text) override {
    ui_.Send([&] {
      if (!model_) return;
      model_->SetGaugePosition(position);
      model_->SetStatusText(text);
    });
  }

 private:
  TUiTaskWindow& ui_;
  TWizardModel* model_ = nullptr;
};

class TWindowHost : public TRunningWizardHost {
 public:
  TWindowHost(const TWizardWindowArgs& args, TUiTaskWindow& ui, TSetupThread& thread, TErrorReporter& reporter)
      : TRunningWizardHost(*args.ctx, ui, thread), args_(args), reporter_(reporter) {}
  void SetModel(TWizardModel* model) { model_ = model; }
  bool Fatal() const { return fatal_; }

  void RunUninstall() override {
    if (!args_.run_uninstall || !model_) throw SetupError("This program cannot run the uninstall work yet.");
    args_.run_uninstall(*model_);
  }
  void RunFinaliser() override {
    if (args_.run_finaliser) args_.run_finaliser();
  }
  void ReportFatal(const std::string& message) override {
    fatal_ = true;
    reporter_.Report(message, "");
    PostQuitMessage(kExitFailed);
  }

 private:
  const TWizardWindowArgs& args_;
  TErrorReporter& reporter_;
  TWizardModel* model_ = nullptr;
  bool fatal_ = false;
};

// The uninstall work's progress, shown on the Uninstall page through the
// model (the work runs on the main thread).
class TModelUninstallView : public TUninstallView {
 public:
  explicit TModelUninstallView(TWizardModel& model) : model_(model) {}
  void SetStatusText(std::u16string_view text) override { model_.SetStatusText(text); }
  void SetGauge(int32_t position, int32_t maximum) override {
    model_.SetGaugeMax(maximum);
    model_.SetGaugePosition(position);
  }
  void Problem(std::string_view) override {}

 private:
  TWizardModel& model_;
};

}  // namespace

int RunWizardWindow(const TWizardWindowArgs& args) {
  TSetupContext& ctx = *args.ctx;
  TUiTaskWindow ui;
  TWinErrorReporter reporter(ctx, *args.options, *args.dialogs, true);
  TWinSetupRunPlatform platform(reporter);
  TWindowSinks sinks(ui);
  ctx.Progress.Bind(&sinks);
  ctx.Dialog = args.dialogs;
  struct Unbind {
    TSetupContext& ctx;
    TWindowSinks& sinks;
    ~Unbind() {
      sinks.SetModel(nullptr);
      ctx.Progress.Bind(nullptr);
      ctx.Dialog = nullptr;
    }
  } unbind{ctx, sinks};

  TWizardWindowArgs hostArgs = args;
  bool uninstalled = false;
  if (!hostArgs.run_uninstall)
    hostArgs.run_uninstall = [&ctx, &uninstalled](TWizardModel& model) {
      TModelUninstallView view(model);
      RunUninstallWorkOnPage(ctx, view);
      uninstalled = true;
    };
  if (!hostArgs.run_finaliser) hostArgs.run_finaliser = [&ctx, &uninstalled] { FinishUninstaller(ctx, uninstalled); };
  TSetupThread thread(ctx, platform);
  TWindowHost host(hostArgs, ui, thread, reporter);
  TWinDriveInfo drives;
  TWizardModel model(WizardDataOf(ctx), host, drives, *args.dialogs);
  host.SetModel(&model);
  sinks.SetModel(&model);

  TFrmMainArgs formArgs;
  formArgs.model = &model;
  formArgs.debug_button_visible = args.options && args.options->Debug;
  formArgs.show_debug = [&ctx](HWND owner) {
    if (ctx.Pak) TFrmDebug::ShowModal(owner, DebugListingLines(*ctx.Pak, ctx.SetupInfo));
  };
  TFrmMain form(formArgs);
  model.SetObserver(&form);
  struct Detach {
    TWizardModel& model;
    ~Detach() { model.SetObserver(nullptr); }
  } detach{model};
  try {
    model.SetPagesUp();
  } catch (const SetupError& e) {
    reporter.Report(e.what(), "");
    return kExitStartupError;
  }
  form.Show();
  form.RunMessageLoop();
  if (host.Fatal()) return kExitFailed;
  return kExitDone;
}

}  // namespace ferry
