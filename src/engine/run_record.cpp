#include "engine/run_record.h"

#include <algorithm>

#include "base/path_text.h"
#include "engine/progress_sinks.h"

namespace ferry {

namespace {

bool UndoesRun(FailureEffect effect) { return effect >= FailureEffect::kFailsRun; }

bool StopsRun(FailureEffect effect) { return effect >= FailureEffect::kStopsRun; }

int ExitCodeOf(FailureEffect effect) {
  switch (effect) {
    case FailureEffect::kWarning: return kExitDone;
    case FailureEffect::kRestartNeeded: return kExitRestartNeeded;
    case FailureEffect::kNotDone: return kExitIncomplete;
    case FailureEffect::kFailsRun:
    case FailureEffect::kStopsRun: return kExitFailed;
    case FailureEffect::kCancelled: return kExitCancelled;
    case FailureEffect::kFolderBusy: return kExitFolderBusy;
    case FailureEffect::kRefused: return kExitStartupError;
    case FailureEffect::kNewerInstalled: return kExitNewerInstalled;
    case FailureEffect::kNotPatchable: return kExitNotPatchable;
    case FailureEffect::kInstalledElsewhere: return kExitInstalledElsewhere;
  }
  return kExitFailed;
}

}  // namespace

void RunRecord::Warn(std::string_view what) { Add({.Effect = FailureEffect::kWarning, .What = std::string(what)}); }

void RunRecord::NotDone(std::string_view what) { Add({.Effect = FailureEffect::kNotDone, .What = std::string(what)}); }

void RunRecord::RestartNeeded(std::string_view what) {
  Add({.Effect = FailureEffect::kRestartNeeded, .What = std::string(what)});
}

void RunRecord::FileNotWritten(std::string_view path, std::string_view reason) {
  // Named as a user writes it: where a folder ending in a separator and a
  // name were joined with another, one shows.
  Add({.Effect = FailureEffect::kFailsRun, .What = std::string(reason), .Path = WithSingleSeparators(path)});
}

void RunRecord::Fail(std::string_view what) { Add({.Effect = FailureEffect::kFailsRun, .What = std::string(what)}); }

void RunRecord::Stop(std::string_view what) { Add({.Effect = FailureEffect::kStopsRun, .What = std::string(what)}); }

void RunRecord::Cancel(std::string_view what) { Add({.Effect = FailureEffect::kCancelled, .What = std::string(what)}); }

void RunRecord::Refuse(std::string_view what) { Add({.Effect = FailureEffect::kRefused, .What = std::string(what)}); }

void RunRecord::FolderBusy(std::string_view what) {
  Add({.Effect = FailureEffect::kFolderBusy, .What = std::string(what)});
}

void RunRecord::Report(FailureEffect effect, std::string_view what, std::string_view boxCaption, DialogIcon icon) {
  Add({.Effect = effect, .What = std::string(what), .BoxCaption = std::string(boxCaption), .BoxIcon = icon});
}

void RunRecord::Add(RunFailure failure) {
  failure.Line = line_.load();
  if (StopsRun(failure.Effect)) must_stop_.store(true);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failures_.push_back(failure);
  }
  Show(failure);
}

// A box by the listener; a file not written, a step not done, a warning and
// a restart needed as a problem line; the rest are said by whoever stopped
// or refused the run.
void RunRecord::Show(const RunFailure& failure) {
  if (!failure.BoxCaption.empty() && listener_) {
    listener_->ShowFailure(failure);
  } else if (!failure.Path.empty()) {
    progress_.Problem("Cannot write " + failure.Path + (failure.What.empty() ? "" : ": " + failure.What));
  } else if (!failure.What.empty() && (failure.Effect <= FailureEffect::kNotDone || !failure.BoxCaption.empty())) {
    progress_.Problem(failure.What);
  }
}

bool RunRecord::FailedSince(size_t from) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = from; i < failures_.size(); ++i)
    if (UndoesRun(failures_[i].Effect)) return true;
  return false;
}

size_t RunRecord::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_.size();
}

std::vector<RunFailure> RunRecord::Failures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

std::vector<RunFailure> RunRecord::FilesNotWritten() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<RunFailure> files;
  for (const RunFailure& f : failures_)
    if (!f.Path.empty()) files.push_back(f);
  return files;
}

bool RunRecord::Has(FailureEffect effect) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const RunFailure& f : failures_)
    if (f.Effect == effect) return true;
  return false;
}

int RunRecord::ExitCode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  // The effects are ordered by weight.
  FailureEffect worst = FailureEffect::kWarning;
  for (const RunFailure& f : failures_) worst = std::max(worst, f.Effect);
  return ExitCodeOf(worst);
}

}  // namespace ferry
