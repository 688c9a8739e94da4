#include "engine/setup_thread.h"
#include "base/file_system.h"

#include <exception>
#include <set>

#include "base/dialogs.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/command_run.h"
#include "engine/product_version.h"
#include "engine/commands/file_command.h"
#include "engine/files_in_use.h"
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

void RunLine(SetupContext& ctx, const CommandRun& run) {
  int32_t current = ctx.CurrentLine;
  if (current < 0 || static_cast<size_t>(current) >= ctx.CompLines.Count()) return;
  const CompLine& line = ctx.CompLines.Lines[static_cast<size_t>(current)];
  if (line.CommandNo <= 0) return;
  ctx.Record.SetLine(current);
  if (CommandClass* command = ctx.Commands.Find(line.CommandNo))
    command->SFXProcess(ctx, run, LineIndexFor(ctx, current));
}

// The message line says so; `why` goes to the record (and a silent run's
// summary), not to the problem lines.
void StopAsFailed(SetupContext& ctx, std::string_view why) {
  ctx.Progress.SetMessageText(ctx.Languages.GetText(kTextSetupFailed), true);
  ctx.Record.Stop(why);
}

// Line after line from the first, following the jumps, until the last line,
// an abort or the line budget. A stream of one line runs nothing.
void RunLines(SetupContext& ctx, const CommandRun& run, RunOutcome& outcome) {
  const size_t count = ctx.CompLines.Count();
  if (count < 2) return;
  const int64_t last = static_cast<int64_t>(count) - 1;
  const uint64_t budget = RunLineBudget(count);
  do {
    ++ctx.CurrentLine;
    RunLine(ctx, run);
    if (++outcome.LinesRun >= budget && ctx.CurrentLine < last && !ctx.Record.MustStop()) {
      outcome.CycleStopped = true;
      outcome.StoppedAt = ctx.CurrentLine;
      StopAsFailed(ctx, CycleStoppedMessage(outcome));
    }
  } while (ctx.CurrentLine < last && !ctx.Record.MustStop());
}

// An error escaping a command ends the program: what the run changed is
// undone first.
void RunLinesUndoneOnError(SetupContext& ctx, const CommandRun& run, JournaledRun& journal, RunOutcome& outcome) {
  try {
    RunLines(ctx, run, outcome);
  } catch (...) {
    // Said before the error ends the program, as every undone run says it.
    const std::vector<std::string> notUndone = journal.RollBack();
    for (const std::string& line : notUndone) ctx.Record.Warn("Not undone: " + line);
    if (notUndone.empty()) ctx.Record.Warn("Every change of the run was undone: the product is as it was before.");
    throw;
  }
}

// Work a line left open for later lines is finished, also in a run that was
// aborted or jumped past them; no gauge step stays held back.
void EndCommands(SetupContext& ctx) {
  for (const auto& command : ctx.Commands.Commands) command->EndOfRun(ctx);
  ctx.Progress.FlushGauge();
}

// A failed run is undone before it is reported.
void UndoFailedRun(SetupContext& ctx, JournaledRun& journal, RunOutcome& outcome) {
  outcome.RolledBack = true;
  outcome.NotUndone = journal.RollBack();
  for (const std::string& line : outcome.NotUndone) ctx.Record.Warn("Not undone: " + line);
  if (!ctx.Record.MustStop()) StopAsFailed(ctx, "");
}

// The install folder exists after every run that worked, and the uninstall
// removes the folders it brought; the install log goes in it, through the
// journal, when the setup makes an uninstaller. False when the log could not
// be written.
bool SaveInstallLog(SetupContext& ctx, SetupRunPlatform& platform, const CommandRun& run, RunOutcome& outcome) {
  const SetupInfoRecord& info = ctx.SetupInfo;
  platform.ForceDirectories(info.InstallDir, [&ctx](const std::string& dir) { ctx.InstallLog.AddDirectory(dir); });
  if (info.MakeUninstaller != 1) return true;
  outcome.LogSaved = ctx.InstallLog.SaveToFile(run.Files(), info.InstallDir, info.UninstallPrefix);
  if (!outcome.LogSaved)
    ctx.Record.FileNotWritten(InstallLogPath(info.InstallDir, info.UninstallPrefix),
                              "the install log could not be written");
  return outcome.LogSaved;
}

// The uninstaller and the registration, through the run's journal: before
// the first command (so the product is removable from its first file on)
// and, marked finished, after the install log. False when the run failed there.
bool Register(SetupContext& ctx, const CommandRun& run, bool finished) {
  if (ctx.SetupInfo.MakeUninstaller != 1 || !ctx.RegisterUninstall) return true;
  const size_t failuresBefore = ctx.Record.Count();
  ctx.RegisterUninstall(ctx, run.System, finished);
  return !ctx.Record.FailedSince(failuresBefore);
}

// Files left to the next restart are handed to the system before the run
// is kept; false when it would not take one (the run is undone then).
bool MovesLeftToRestart(SetupContext& ctx, System* system, const JournaledRun& journal) {
  for (const auto& [from, to] : journal.MovesAtRestart()) {
    const std::string& held = to.empty() ? from : to;
    if (!system || !system->MoveAtRestart(from, to)) {
      ctx.Record.FileNotWritten(held, "it is in use, and the system would not replace it at the next restart");
      return false;
    }
    ctx.Record.RestartNeeded(held + (to.empty() ? " is removed" : " is replaced") + " at the next restart");
  }
  return true;
}

// The run stays: everything of it is written, so its journal is committed.
void KeepRun(SetupContext& ctx, JournaledRun& journal) {
  journal.Commit();
  // The finish page says that steps were not done, or that a restart completes the run.
  if (ctx.Record.ExitCode() == kExitIncomplete)
    ctx.Progress.SetMessageText(ctx.Languages.GetTextOr(kTextSetupIncomplete, kSetupIncompleteEnglish), true);
  else if (ctx.Record.ExitCode() == kExitRestartNeeded)
    ctx.Progress.SetMessageText(ctx.Languages.GetTextOr(kTextRestartToComplete, kRestartToCompleteEnglish), true);
}

// The run's folder is held for this process before anything changes in it,
// and a run killed there is undone. False when nothing may run there.
bool HoldInstallFolder(SetupContext& ctx, InstallFolderClaim* claim, RunOutcome& outcome) {
  if (!claim) return true;
  const std::string& folder = ctx.SetupInfo.InstallDir;
  FolderClaim held = claim->Claim(folder);
  if (held.Busy) {
    // Said once, by the wizard's host, from the outcome.
    outcome.FolderBusy = true;
    ctx.Record.FolderBusy("another setup or uninstaller works in " + folder);
    return false;
  }
  outcome.Recovered = RecoverySummary(held.Recovery, folder);
  if (!held.Refused()) {
    if (!outcome.Recovered.empty()) ctx.Record.Warn(outcome.Recovered);
    return true;
  }
  ctx.Record.FileNotWritten(RunJournalPath(folder), outcome.Recovered);
  ctx.Record.Stop("");
  return false;
}

// Without its journal a run could be neither undone nor recovered: nothing
// of it is done.
bool JournalOpened(SetupContext& ctx, JournaledRun& journal, RunOutcome& outcome) {
  if (journal.Problem().empty()) return true;
  ctx.Record.FileNotWritten(journal.JournalPath(), "the run's journal cannot be created: " + journal.Problem());
  UndoFailedRun(ctx, journal, outcome);
  return false;
}

// A patch applies only over the files it was made against: each is checked
// before the run writes anything, its journal included.
bool DeltaBasesChecked(SetupContext& ctx, System* system, DeltaPlan& deltas) {
  if (!system || CheckDeltaBases(ctx, *system, deltas)) return true;
  StopAsFailed(ctx, "");
  return false;
}

void RunJournaled(SetupContext& ctx, SetupRunPlatform& platform, JournaledRun& journal, RunOutcome& outcome,
                  DeltaPlan deltas, System* real) {
  if (!JournalOpened(ctx, journal, outcome)) return;
  const size_t failuresBefore = ctx.Record.Count();
  const CommandRun run(journal.RunSystem(), std::move(deltas));
  if (!Register(ctx, run, false)) return UndoFailedRun(ctx, journal, outcome);
  RunLinesUndoneOnError(ctx, run, journal, outcome);
  if (outcome.CycleStopped) platform.ReportError(CycleStoppedMessage(outcome), kSetupThreadStage);
  EndCommands(ctx);
  // Everything of the run is written while its journal is there.
  if (!ctx.Record.FailedSince(failuresBefore) && SaveInstallLog(ctx, platform, run, outcome) &&
      Register(ctx, run, true) && MovesLeftToRestart(ctx, real, journal))
    return KeepRun(ctx, journal);
  UndoFailedRun(ctx, journal, outcome);
}

}  // namespace

uint64_t RunLineBudget(size_t lineCount) { return kPassesPerRun * lineCount + kExtraLines; }

std::string CycleStoppedMessage(const RunOutcome& outcome) {
  return "The setup's commands were stopped after " + std::to_string(outcome.LinesRun) +
         " lines without reaching the end of the script (line " + std::to_string(outcome.StoppedAt) +
         " was the last run): its jumps go round in a cycle.";
}

RunOutcome RunCommands(SetupContext& ctx, SetupRunPlatform& platform, const RunArguments& args) {
  RunOutcome outcome;
  ctx.CurrentLine = -1;  // before the first line
  platform.BeginRun();
  DeltaPlan deltas;
  std::set<std::string> held;
  // Held files first: a file a program holds cannot be read for its check.
  if (HoldInstallFolder(ctx, args.Folder, outcome) &&
      (!args.RealSystem || InstallFolderAccepted(ctx, *args.RealSystem)) &&
      (!args.RealSystem || UserCanWriteInstallFolder(ctx, *args.RealSystem)) &&
      (!args.RealSystem || InstalledVersionAccepted(ctx, *args.RealSystem, args.AllowDowngrade)) &&
      (!args.RealSystem || SettleHeldFiles(ctx, *args.RealSystem, args.Held, &held)) &&
      DeltaBasesChecked(ctx, args.RealSystem, deltas)) {
    JournaledRun journal(args.RealSystem, ctx.SetupInfo.InstallDir, ctx.InstallLog, args.Faults);
    journal.SetHeldFiles(held);
    RunJournaled(ctx, platform, journal, outcome, std::move(deltas), args.RealSystem);
  }
  ctx.Record.SetLine(-1);
  platform.EndRun();
  return outcome;
}

SetupThread::SetupThread(SetupContext& ctx, SetupRunPlatform& platform) : ctx_(ctx), platform_(platform) {
  ctx_.StopRequested.store(0);
  thread_ = std::thread([this] { Body(); });
}

SetupThread::~SetupThread() {
  Stop();
  WaitFor();
}

void SetupThread::StartRun(const RunArguments& args) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_ = args;
    running_.store(true);
  }
  wake_.notify_one();
}

void SetupThread::Stop() {
  // Also read by a command that waits for a program it started.
  ctx_.StopRequested.store(1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
}

void SetupThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

std::optional<RunArguments> SetupThread::NextRun() {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait(lock, [this] { return pending_ || stopping_; });
  std::optional<RunArguments> next;
  next.swap(pending_);
  return next;
}

void SetupThread::Body() {
  try {
    while (std::optional<RunArguments> args = NextRun()) {
      last_run_ = RunCommands(ctx_, platform_, *args);
      running_.store(false);
    }
  } catch (const std::exception& e) {
    ctx_.Record.Stop(e.what());
    platform_.Fatal(e.what(), kSetupThreadStage);
  }
  ended_.store(true);
}

}  // namespace ferry
