// The setup thread: the worker that runs the compiled commands while the
// main thread keeps the wizard alive.
//
// Life: created (and started) with the wizard, it waits until StartRun
// hands it a run, runs it, and waits again; RunFinished() says when the
// outcome can be read. Stop() ends the thread after the current run.
//
// A run (RunCommands): the install folder is held for this process (a
// folder another process works in ends the run at once, FolderBusy) and a
// run killed there undone; the installed version is checked against the
// setup's (engine/product_version.h: a refusal ends the run before anything
// is written); files running programs hold are settled
// (engine/files_in_use.h); from then on every change goes through the
// run's journal (engine/run_journal). The lines run from the first: each
// one runs its command, and a command jumps by assigning CurrentLine = T,
// the run then going on at line T + 1; it ends after the last line or when
// the run's record (ctx.Record) says it must stop. A failed run (a stop, a
// file that could not be written, an install log that could not be saved:
// any failure of the record but a noted one) is undone from its journal
// and kTextSetupFailed goes to the message line. A setup that makes an
// uninstaller writes it and its registration (marked not finished) before
// the first line; a run that worked creates the install folder, saves the
// install log, marks the registration finished and then commits its
// journal: nothing of the run is written after that.
//
// A run that goes round a jump cycle without an exit would never end (and
// the wizard does not close while it runs). A run therefore executes at most
// RunLineBudget(line count) lines; past that it stops as a failed run: the
// failure text goes to the message line, the record has the stop, and an error
// report says which line it stopped on.
//
// An exception that escapes a command ends the thread: the run is undone,
// the platform reports it with the stage "Setup Thread" and ends the program;
// the rest of the run does not happen.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ferry {

class HeldFilesPrompt;
class InstallFolderClaim;
class JournalFaults;
class System;
struct SetupContext;

// What a run needs from the system; the Windows build gives the real one
// (setup_thread_win.h), tests their own.
class SetupRunPlatform {
 public:
  virtual ~SetupRunPlatform() = default;
  virtual void BeginRun() {}
  virtual void EndRun() {}
  // Creates the missing folders of an "X:\..." path, outermost first,
  // calling `created` with each new one (base's ForceDirectories on the
  // system's files).
  virtual void ForceDirectories(const std::string& path,
                                const std::function<void(const std::string&)>& created) = 0;
  // An error the program goes on after (written to the error report).
  virtual void ReportError(std::string_view message, std::string_view stage) = 0;
  // An error escaped a command: report it and end the program. When this
  // returns (tests), the thread ends without finishing the run.
  virtual void Fatal(std::string_view message, std::string_view stage) = 0;
};

inline constexpr std::string_view kSetupThreadStage = "Setup Thread";

// Lines a run may execute: 64 passes over the stream, plus 10,000.
uint64_t RunLineBudget(size_t lineCount);

struct RunOutcome {
  uint64_t LinesRun = 0;      // loop steps taken
  bool CycleStopped = false;  // the line budget ran out
  int32_t StoppedAt = -1;     // CurrentLine when it did
  bool LogSaved = false;      // the end-of-run install log was written
  bool FolderBusy = false;    // another process works in the install folder: nothing ran
  std::string Recovered;      // what undoing an earlier unfinished run did ("" when none was found)
  bool RolledBack = false;    // the run failed and what it changed was undone
  std::vector<std::string> NotUndone;  // what could not be undone then
};

// What a run is given besides the context.
struct RunArguments {
  // What the commands change, through the run's journal; none: nothing.
  System* RealSystem = nullptr;
  // The install folder held for this process; none: nothing is claimed.
  InstallFolderClaim* Folder = nullptr;
  // A test build's hook into the run's journal (engine/run_journal/run_journal.h).
  JournalFaults* Faults = nullptr;
  // "/ALLOWDOWNGRADE": a newer installed version may be replaced.
  bool AllowDowngrade = false;
  // Asked about files running programs hold (engine/files_in_use.h); none:
  // such a file stops the run before it changes anything.
  HeldFilesPrompt* Held = nullptr;
};

// One run on the calling thread, from the first line.
RunOutcome RunCommands(SetupContext& ctx, SetupRunPlatform& platform, const RunArguments& args = {});

// Text of the error report of a run stopped by its line budget.
std::string CycleStoppedMessage(const RunOutcome& outcome);

class SetupThread {
 public:
  // Starts the thread at once, waiting for a run; StopRequested is cleared
  // first.
  SetupThread(SetupContext& ctx, SetupRunPlatform& platform);
  // Stop() and WaitFor().
  ~SetupThread();
  SetupThread(const SetupThread&) = delete;
  SetupThread& operator=(const SetupThread&) = delete;

  // Hands the thread a run (RunCommands with these arguments).
  void StartRun(const RunArguments& args);
  // The run handed over last is over (or none was handed over).
  bool RunFinished() const { return !running_.load(); }
  void Stop();
  // Waits without time limit for the thread to end.
  void WaitFor();
  // The thread body has returned (after Stop, or after a fatal error).
  bool Ended() const { return ended_.load(); }
  // The outcome of the last run; read it once RunFinished().
  const RunOutcome& LastRun() const { return last_run_; }

 private:
  void Body();
  // The next run handed over; none once Stop was asked for.
  std::optional<RunArguments> NextRun();

  SetupContext& ctx_;
  SetupRunPlatform& platform_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<RunArguments> pending_;  // under mutex_
  bool stopping_ = false;                // under mutex_
  RunOutcome last_run_;
  std::atomic<bool> running_{false};
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace ferry
