// The setup thread: the worker that runs the compiled commands while the
// main thread keeps the wizard alive.
//
// Life: created (and started) with the wizard, idle with 1 ms polling; a run
// starts when the main thread sets ctx.CurrentLine to -1 and
// ctx.RunRequested to 1, and is over when the thread sets RunRequested back
// to 0. Stop() (ctx.StopRequested) ends the thread after the current run.
//
// A run (RunCommands):
//   1. platform BeginRun (the thread's component object system); the
//      install folder is claimed for this process (a folder another process
//      works in ends the run at once, FolderBusy) and a journal an earlier
//      run left there is undone; from here every change is journalled
//      (engine/run_journal);
//   2. with two lines or more: CurrentLine += 1, run the line's command
//      (CommandNo 1..count; other lines do nothing), and go on while
//      CurrentLine is a line index and SetupAborted is 0. A command jumps by
//      assigning CurrentLine = T; the run then continues at line T + 1;
//   3. a run that failed (SetupAborted, a file that could not be written)
//      is undone from its journal, kTextSetupFailed goes to the message
//      line, and SetupAborted is set; it goes on at step 5;
//   4. the install directory is created, its new folders logged;
//      MakeUninstaller 1: the install log is saved to InstallDir with
//      UninstallPrefix (a log that cannot be saved fails the run as in 3);
//      the journal is committed; then ctx.RegisterUninstall runs;
//   5. platform EndRun, RunRequested = 0.
//
// A run that goes round a jump cycle without an exit would never end (and
// the wizard does not close while it runs). A run therefore executes at most
// RunLineBudget(line count) lines; past that it stops as a failed run: the
// failure text goes to the message line, SetupAborted is set, an error
// report says which line it stopped on, and steps 3 to 5 follow as usual.
//
// An exception that escapes a command ends the thread: the run is undone,
// the platform reports it with the stage "Setup Thread" and ends the program
// (steps 4 and 5 do not run).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ferry {

class JournalFaults;
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

// One run on the calling thread (steps 1 to 5 above). faults: a test
// build's hook into the run's journal (engine/run_journal/run_journal.h).
RunOutcome RunCommands(SetupContext& ctx, SetupRunPlatform& platform, JournalFaults* faults = nullptr);

// Text of the error report of a run stopped by its line budget.
std::string CycleStoppedMessage(const RunOutcome& outcome);

class TSetupThread {
 public:
  // Starts the thread at once; StopRequested is cleared first. Each run
  // gets `faults` (RunCommands).
  TSetupThread(SetupContext& ctx, SetupRunPlatform& platform, JournalFaults* faults = nullptr);
  // Stop() and WaitFor().
  ~TSetupThread();
  TSetupThread(const TSetupThread&) = delete;
  TSetupThread& operator=(const TSetupThread&) = delete;

  void Stop();
  // Waits without time limit for the thread to end.
  void WaitFor();
  // The thread body has returned (after Stop, or after a fatal error).
  bool Ended() const { return ended_.load(); }
  // The outcome of the last run; read it once RunRequested is 0 again.
  const RunOutcome& LastRun() const { return last_run_; }

 private:
  void Body();

  SetupContext& ctx_;
  SetupRunPlatform& platform_;
  JournalFaults* faults_;
  RunOutcome last_run_;
  std::atomic<bool> ended_{false};
  std::thread thread_;
};

}  // namespace ferry
