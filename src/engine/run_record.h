// What a setup could not do: the one record that start-up, every command of
// the run, the end of the run and the uninstall report to, and the one place
// the outcome (and a silent run's exit code) is read from.
//
// Each entry says what happened, on which line of the script (-1 outside
// the commands), and what it means for the run:
//   kWarning         said; not a failure (an earlier run undone first, a
//                    package's side file left behind but marked)
//   kRestartNeeded   done, but complete only after a restart
//   kNotDone         a step was not done; the run goes on and stays
//   kFailsRun        the run goes on, but is undone at its end (a file not
//                    written)
//   kStopsRun        the run stops at the next line and is undone
//   kCancelled       the user stopped the setup
//   kFolderBusy      nothing ran: another setup works in the install folder
//   kRefused         nothing ran: start-up, or the install folder, refused
//   kNewerInstalled  nothing ran: a newer version is installed
//   kNotPatchable    nothing ran: a patch's product is not installed in a
//                    version it is for
//   kInstalledElsewhere nothing ran: the product is installed in another
//                    folder
// (the last five are said by the one who refused, in its own box or line).
// A failure with a box caption is shown in a box by the wizard's listener
// (in a silent run, written to the run log); a file not written and a noted
// failure go to the run's problem lines; a stop, a cancel and a refusal are
// said by whoever made them (and by a silent run's summary).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"

namespace ferry {

class RunProgress;

enum class FailureEffect : uint8_t {
  kWarning,
  kRestartNeeded,
  kNotDone,
  kFailsRun,
  kStopsRun,
  kCancelled,
  kFolderBusy,
  kRefused,
  kNewerInstalled,
  kNotPatchable,
  kInstalledElsewhere,
};

struct RunFailure {
  FailureEffect Effect = FailureEffect::kNotDone;
  int32_t Line = -1;
  std::string What;  // 8-bit text, system code page
  // The file that was not written; empty for other failures.
  std::string Path;
  // Shown in a box with this caption; empty: a problem line.
  std::string BoxCaption;
  DialogIcon BoxIcon = DialogIcon::kNone;
};

// Shows the failures that ask for a box (the wizard: a box, or the silent
// run's log); called on the thread that reports.
class FailureListener {
 public:
  virtual ~FailureListener() = default;
  virtual void ShowFailure(const RunFailure& failure) = 0;
};

// The exit codes, read from the record (docs/stub.md has the table).
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitCancelled = 2;
inline constexpr int kExitStartupError = 3;
inline constexpr int kExitIncomplete = 4;
inline constexpr int kExitFolderBusy = 1618;
inline constexpr int kExitRestartNeeded = 3010;
inline constexpr int kExitNewerInstalled = 1638;
inline constexpr int kExitNotPatchable = 1642;
inline constexpr int kExitInstalledElsewhere = 5;

class RunRecord {
 public:
  explicit RunRecord(RunProgress& progress) : progress_(progress) {}
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  void SetListener(FailureListener* listener) { listener_ = listener; }
  // The script line being run; -1 between runs. Set by the setup thread.
  void SetLine(int32_t line) { line_.store(line); }

  void Warn(std::string_view what);
  void NotDone(std::string_view what);
  void RestartNeeded(std::string_view what);
  void FileNotWritten(std::string_view path, std::string_view reason);
  void Fail(std::string_view what);
  void Stop(std::string_view what);
  void Cancel(std::string_view what);
  void Refuse(std::string_view what);
  void FolderBusy(std::string_view what);
  // Any of the above with a box, shown by the listener.
  void Report(FailureEffect effect, std::string_view what, std::string_view boxCaption, DialogIcon icon);

  // The run must not go on (a kStopsRun failure or any after it).
  bool MustStop() const { return must_stop_.load(); }
  // Entries since `from` (an earlier Count()) that undo the run.
  bool FailedSince(size_t from) const;
  size_t Count() const;
  std::vector<RunFailure> Failures() const;
  // The failures that name a file not written, in the order they came.
  std::vector<RunFailure> FilesNotWritten() const;
  bool Has(FailureEffect effect) const;
  // The worst entry decides: installed in another folder (5), a version refused (1642 patch, 1638 newer
  // installed), refused (3) or busy (1618), then cancelled (2), failed (1),
  // steps not done (4), restart needed (3010), else 0.
  int ExitCode() const;

 private:
  void Add(RunFailure failure);
  void Show(const RunFailure& failure);

  RunProgress& progress_;
  FailureListener* listener_ = nullptr;
  std::atomic<int32_t> line_{-1};
  std::atomic<bool> must_stop_{false};
  mutable std::mutex mutex_;
  std::vector<RunFailure> failures_;
};

}  // namespace ferry
