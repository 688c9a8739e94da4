#include "app/silent_install_win.h"

#include <windows.h>
// The wizard's drive query shares its name with a Windows macro.
#undef GetDriveType

#include <string_view>

#include "formats/pak/pak_file.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "platform/setup_thread_win.h"
#include "wizard/silent_install.h"
#include "engine/startup.h"
#include "app/running_wizard_host_win.h"
#include "platform/startup_win.h"
#include "platform/uninstall_win.h"
#include "platform/run_log.h"
#include "platform/win_text.h"
#include "platform/ui_task.h"

namespace ferry {

namespace {

// Work-page status captions may already begin with "Status:" ("Status: 0 of
// 164 items remaining"); the log line does not repeat it.
std::string StatusLine(std::u16string_view text) {
  std::string utf8 = Utf16ToUtf8(text);
  return utf8.starts_with("Status:") ? utf8 : "Status: " + utf8;
}

// Runs on the setup thread; each change is handed to the main thread, which
// owns the model, and written to the log there, in the order it happened.
class TSilentSinks : public TProgressSinks {
 public:
  TSilentSinks(TUiTaskWindow& ui, RunLog& log, int64_t gaugeMax) : ui_(ui), log_(log), gauge_max_(gaugeMax) {}
  void SetModel(TWizardModel* model) { model_ = model; }

  void SetStatusText(std::u16string_view text) override {
    ui_.Send([&] { ShowStatus(text); });
  }
  void SetMessageText(std::u16string_view text, bool) override {
    ui_.Send([&] {
      if (model_) model_->SetMessageText(text);
      log_.Line("Message: " + Utf16ToUtf8(text));
    });
  }
  void SetGaugePosition(int32_t position) override {
    ui_.Send([&] { ShowGauge(position); });
  }
  void SetGaugeAndStatusText(int32_t position, std::u16string_view text) override {
    ui_.Send([&] {
      ShowGauge(position);
      ShowStatus(text);
    });
  }
  void ReportProblem(std::string_view text) override {
    ui_.Send([&] { log_.Line("Problem: " + AnsiToUtf8(text)); });
  }

 private:
  // Main thread.
  void ShowStatus(std::u16string_view text) {
    if (model_) model_->SetStatusText(text);
    log_.Line(StatusLine(text));
  }
  void ShowGauge(int32_t position) {
    if (model_) model_->SetGaugePosition(position);
    int percent = GaugePercent(position, gauge_max_);
    if (percent != last_percent_) log_.Line("Progress: " + std::to_string(percent) + "%");
    last_percent_ = percent;
  }

  TUiTaskWindow& ui_;
  RunLog& log_;
  int64_t gauge_max_;
  int last_percent_ = -1;
  TWizardModel* model_ = nullptr;
};

// The uninstall work runs on the main thread: straight to the model and
// the run log.
class TSilentUninstallView : public TUninstallView {
 public:
  TSilentUninstallView(TWizardModel& model, RunLog& log) : model_(model), log_(log) {}
  void SetStatusText(std::u16string_view text) override {
    model_.SetStatusText(text);
    log_.Line(StatusLine(text));
  }
  void SetGauge(int32_t position, int32_t maximum) override {
    model_.SetGaugeMax(maximum);
    model_.SetGaugePosition(position);
    int percent = GaugePercent(position, maximum);
    if (percent != last_percent_) log_.Line("Progress: " + std::to_string(percent) + "%");
    last_percent_ = percent;
  }
  void Problem(std::string_view text) override { log_.Line("Problem: " + AnsiToUtf8(text)); }

 private:
  TWizardModel& model_;
  RunLog& log_;
  int last_percent_ = -1;
};

class TSilentHost : public TRunningWizardHost {
 public:
  TSilentHost(TSetupContext& ctx, TUiTaskWindow& ui, TSetupThread& thread, TErrorReporter& reporter, RunLog& log,
              TSilentRunFacts& facts)
      : TRunningWizardHost(ctx, ui, thread), reporter_(reporter), log_(log), facts_(facts) {}

  void RunInstall() override {
    facts_.InstallRan = true;
    log_.Line("Installing to \"" + AnsiToUtf8(ctx_.SetupInfo.InstallDir) + "\"");
    TRunningWizardHost::RunInstall();
    facts_.Outcome = thread_.LastRun();
  }
  void SetModel(TWizardModel* model) { model_ = model; }
  void RunUninstall() override {
    if (!model_) throw SetupError("The uninstall page has no wizard.");
    log_.Line("Uninstalling from \"" + AnsiToUtf8(ctx_.SetupInfo.InstallDir) + "\"");
    TSilentUninstallView view(*model_, log_);
    TUninstallOutcome out = RunUninstallWorkOnPage(ctx_, view);
    facts_.UninstallRan = true;
    facts_.UninstallNotRemoved = out.NotRemoved;
    facts_.UninstallSkipped = out.Skipped;
  }
  void RunFinaliser() override { FinishUninstaller(ctx_, facts_.UninstallRan); }
  void ReportFatal(const std::string& message) override {
    log_.Line("Error: " + AnsiToUtf8(message));
    reporter_.Report(message, "");
  }

 private:
  TErrorReporter& reporter_;
  RunLog& log_;
  TSilentRunFacts& facts_;
  TWizardModel* model_ = nullptr;
};

// Binds the context's progress and dialogs for the silent run and unbinds
// them again, whatever way the run ends.
class TContextBinding {
 public:
  TContextBinding(TSetupContext& ctx, TProgressSinks& sinks, Dialogs& dialogs) : ctx_(ctx) {
    ctx_.Progress.Bind(&sinks);
    ctx_.Dialog = &dialogs;
  }
  ~TContextBinding() {
    ctx_.Progress.Bind(nullptr);
    ctx_.Dialog = nullptr;
  }

 private:
  TSetupContext& ctx_;
};

}  // namespace

int RunSilentInstall(TSetupContext& ctx, const TStubOptions& options, Dialogs& dialogs, RunLog& log) {
  auto say = [&log](std::string_view line) { log.Line(line); };
  TUiTaskWindow ui;
  TWinErrorReporter reporter(ctx, options, dialogs, false);
  TWinSetupRunPlatform platform(reporter, [&log](std::string_view message) {
    log.Line("Error in the setup thread: " + AnsiToUtf8(message));
  });
  TSilentSinks sinks(ui, log, ctx.Pak ? static_cast<int64_t>(ctx.Pak->CountPayloadEntries()) : 0);
  TContextBinding binding(ctx, sinks, dialogs);
  TSilentRunFacts facts;

  TSetupThread thread(ctx, platform);
  TSilentHost host(ctx, ui, thread, reporter, log, facts);
  TWinDriveInfo drives;
  TWizardModel model(WizardDataOf(ctx), host, drives, dialogs);
  sinks.SetModel(&model);
  host.SetModel(&model);
  struct Unset {
    TSilentSinks& sinks;
    ~Unset() { sinks.SetModel(nullptr); }
  } unset{sinks};
  try {
    model.SetPagesUp();
  } catch (const SetupError& e) {
    say(std::string("Error: ") + AnsiToUtf8(e.what()));
    reporter.Report(e.what(), "");
    return kExitStartupError;
  }
  return RunSilentWizard(model, ctx, facts, say);
}

}  // namespace ferry
