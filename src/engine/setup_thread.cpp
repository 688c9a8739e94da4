#include "engine/setup_thread.h"
#include "base/file_system.h"

#include <chrono>
#include <exception>

#include "base/dialogs.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/run_journal/journaled_run.h"
#include "engine/run_journal/run_journal.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {

constexpr uint64_t kPassesPerRun = 64;
constexpr uint64_t kExtraLines = 10'000;

// The line index a command reads its parameters from: the line's own LineNo,
// unless a damaged stream put something else there.
int LineIndexFor(const SetupContext& ctx, int32_t current) {
  int32_t own = ctx.CompLines.Lines[static_cast<size_t>(current)].LineNo;
  if (own >= 0 && static_cast<size_t>(own) < ctx.CompLines.Count()) return own;
  return current;
}

void RunLine(SetupContext& ctx) {
  int32_t current = ctx.CurrentLine;
  if (current < 0 || static_cast<size_t>(current) >= ctx.CompLines.Count()) return;
  const TCompLine& line = ctx.CompLines.Lines[static_cast<size_t>(current)];
  if (line.CommandNo <= 0) return;
  if (TCommandClass* command = ctx.Commands.Find(line.CommandNo))
    command->SFXProcess(ctx, LineIndexFor(ctx, current));
}

// Steps 2.1 to 2.3 until the end, an abort or the budget.
void RunLoop(SetupContext& ctx, RunOutcome& outcome) {
  const size_t count = ctx.CompLines.Count();
  if (count < 2) return;
  const int64_t last = static_cast<int64_t>(count) - 1;
  const uint64_t budget = RunLineBudget(count);
  do {
    ++ctx.CurrentLine;
    RunLine(ctx);
    if (++outcome.LinesRun >= budget && ctx.CurrentLine < last && ctx.SetupAborted.load() == 0) {
      outcome.CycleStopped = true;
      outcome.StoppedAt = ctx.CurrentLine;
      ctx.Progress.SetMessageText(ctx.Languages.GetText(kTextSetupFailed), true);
      ctx.SetupAborted.store(1);
    }
  } while (ctx.CurrentLine < last && ctx.SetupAborted.load() == 0);
}

bool RunFailed(const SetupContext& ctx, size_t failuresBefore) {
  return ctx.SetupAborted.load() != 0 || ctx.Progress.WriteFailures().size() > failuresBefore;
}

// Step 3: the failed run is undone before it is reported.
void UndoFailedRun(SetupContext& ctx, JournaledRun& journal, RunOutcome& outcome) {
  outcome.RolledBack = true;
  outcome.NotUndone = journal.RollBack();
  for (const std::string& line : outcome.NotUndone) ctx.Progress.Problem("Not undone: " + line);
  if (ctx.SetupAborted.load() == 0) {
    ctx.Progress.SetMessageText(ctx.Languages.GetText(kTextSetupFailed), true);
    ctx.SetupAborted.store(1);
  }
}

void FinishRun(SetupContext& ctx, SetupRunPlatform& platform, RunOutcome& outcome, JournaledRun& journal,
               size_t failuresBefore) {
  for (const auto& command : ctx.Commands.Commands) command->EndOfRun(ctx);
  ctx.Progress.FlushGauge();  // no gauge step stays held back after the run
  if (RunFailed(ctx, failuresBefore)) return UndoFailedRun(ctx, journal, outcome);
  TSetupInfo& info = ctx.SetupInfo;
  platform.ForceDirectories(info.InstallDir, [&ctx](const std::string& dir) { ctx.InstallLog.AddDirectory(dir); });
  if (info.MakeUninstaller == 1) {
    outcome.LogSaved = ctx.InstallLog.SaveToFile(ctx.Files(), info.InstallDir, info.UninstallPrefix);
    if (!outcome.LogSaved) {
      ctx.Progress.FileNotWritten(InstallLogPath(info.InstallDir, info.UninstallPrefix),
                                  "the install log could not be written");
      return UndoFailedRun(ctx, journal, outcome);
    }
  }
  journal.Commit();
  journal.Release();
  if (info.MakeUninstaller == 1 && ctx.RegisterUninstall) ctx.RegisterUninstall(ctx);
}

// Step 1: false when another process works in the install folder.
bool ClaimFolder(SetupContext& ctx, RunOutcome& outcome) {
  if (!ctx.System) return true;
  const std::string& folder = ctx.SetupInfo.InstallDir;
  FolderClaim claim = ClaimInstallFolder(*ctx.System, folder);
  if (claim.Busy) {
    outcome.FolderBusy = true;
    const std::string text = FolderBusyMessage(folder);
    ctx.Progress.SetMessageText(CodePageToUtf16(text), true);
    if (ctx.Dialog && !ctx.Dialog->AnswersItself())
      ctx.Dialog->Show(text, "Setup", DialogButtons::kOk, DialogIcon::kError);
    ctx.SetupAborted.store(1);
    return false;
  }
  outcome.Recovered = RecoverySummary(claim.Recovery, folder);
  if (!claim.Refused()) {
    if (!outcome.Recovered.empty()) ctx.Progress.Problem(outcome.Recovered);
    return true;
  }
  ctx.Progress.FileNotWritten(RunJournalPath(folder), outcome.Recovered);
  ctx.SetupAborted.store(1);
  return false;
}

}  // namespace

uint64_t RunLineBudget(size_t lineCount) { return kPassesPerRun * lineCount + kExtraLines; }

std::string CycleStoppedMessage(const RunOutcome& outcome) {
  return "The setup's commands were stopped after " + std::to_string(outcome.LinesRun) +
         " lines without reaching the end of the script (line " + std::to_string(outcome.StoppedAt) +
         " was the last run): its jumps go round in a cycle.";
}

RunOutcome RunCommands(SetupContext& ctx, SetupRunPlatform& platform, JournalFaults* faults) {
  RunOutcome outcome;
  platform.BeginRun();
  if (ClaimFolder(ctx, outcome)) {
    const size_t failuresBefore = ctx.Progress.WriteFailures().size();
    JournaledRun journal(ctx, faults);
    if (!journal.Problem().empty()) {
      // Without its journal a run could be neither undone nor recovered:
      // nothing of it is done.
      ctx.Progress.FileNotWritten(journal.JournalPath(), "the run's journal cannot be created: " + journal.Problem());
      UndoFailedRun(ctx, journal, outcome);
    } else {
      try {
        RunLoop(ctx, outcome);
      } catch (...) {
        journal.RollBack();
        throw;
      }
      if (outcome.CycleStopped) platform.ReportError(CycleStoppedMessage(outcome), kSetupThreadStage);
      FinishRun(ctx, platform, outcome, journal, failuresBefore);
    }
  }
  platform.EndRun();
  return outcome;
}

TSetupThread::TSetupThread(SetupContext& ctx, SetupRunPlatform& platform, JournalFaults* faults)
    : ctx_(ctx), platform_(platform), faults_(faults) {
  ctx_.StopRequested.store(0);
  thread_ = std::thread([this] { Body(); });
}

TSetupThread::~TSetupThread() {
  Stop();
  WaitFor();
}

void TSetupThread::Stop() { ctx_.StopRequested.store(1); }

void TSetupThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TSetupThread::Body() {
  try {
    do {
      if (ctx_.RunRequested.load() == 1) {
        last_run_ = RunCommands(ctx_, platform_, faults_);
        ctx_.RunRequested.store(0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (ctx_.StopRequested.load() != 1);
  } catch (const std::exception& e) {
    platform_.Fatal(e.what(), kSetupThreadStage);
  }
  ended_.store(true);
}

}  // namespace ferry
