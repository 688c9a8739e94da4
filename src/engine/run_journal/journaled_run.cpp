#include "engine/run_journal/journaled_run.h"

#include "engine/run_journal/journaled_files.h"
#include "engine/run_journal/run_journal.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

std::string FolderBusyMessage(const std::string& folder) {
  return "Another setup is working in " + folder + " ; try again when it has finished";
}

FolderClaim ClaimInstallFolder(System& system, const std::string& folder) {
  FolderClaim claim;
  if (folder.empty()) return claim;
  if (!system.ClaimInstallFolder(folder)) {
    claim.Busy = true;
    return claim;
  }
  claim.Recovery = RecoverUnfinishedRun(system.Files(), &system, folder);
  return claim;
}

JournaledRun::JournaledRun(SetupContext& ctx, JournalFaults* faults) : ctx_(ctx) {
  if (!ctx.System || ctx.SetupInfo.InstallDir.empty()) return;
  real_ = ctx.System;
  journal_ = std::make_unique<RunJournal>(real_->Files(), ctx.SetupInfo.InstallDir, real_->CurrentProcess(), faults);
  files_ = std::make_unique<JournaledFileSystem>(real_->Files(), *journal_);
  system_ = std::make_unique<JournaledSystem>(*real_, *files_, *journal_);
  ctx.System = system_.get();
  // The install folder is there from the start of the run (it always was at
  // its end), with the journal in it.
  journal_->Begin([&ctx, this](const std::string& dir) {
    ctx.InstallLog.AddDirectory(dir);
    files_->NoteFolderMade(dir);
  });
}

JournaledRun::~JournaledRun() { Release(); }

bool JournaledRun::Started() const { return journal_ && journal_->Started(); }

std::string JournaledRun::JournalPath() const { return journal_ ? journal_->Path() : std::string(); }

std::string JournaledRun::Problem() const { return journal_ ? journal_->Problem() : std::string(); }

void JournaledRun::Commit() {
  if (journal_) journal_->Commit();
}

std::vector<std::string> JournaledRun::RollBack() {
  if (!journal_) return {};
  return journal_->RollBack(real_);
}

void JournaledRun::Release() {
  if (real_ && ctx_.System == system_.get()) ctx_.System = real_;
}

}  // namespace ferry
