#include "engine/run_journal/journaled_run.h"

#include "base/text.h"
#include "engine/run_journal/journaled_files.h"
#include "engine/run_journal/run_journal.h"
#include "formats/install_log/uninstall_list.h"
#include "engine/system.h"

namespace ferry {

std::string FolderBusyMessage(const std::string& folder) {
  return "Another setup is working in " + folder + " ; try again when it has finished";
}

std::string FolderClaimText(const FolderClaim& claim, const std::string& folder) {
  return claim.Busy ? FolderBusyMessage(folder) : RecoverySummary(claim.Recovery, folder);
}

namespace {

// One folder however its trailing separators and letter case are written.
std::string FolderKey(std::string_view folder) {
  while (folder.size() > 3 && folder.back() == '\\') folder.remove_suffix(1);
  return AsciiLowerCopy(folder);
}

}  // namespace

FolderClaim InstallFolderClaim::Claim(const std::string& folder) {
  FolderClaim claim;
  if (folder.empty() || FolderKey(folder) == held_) return claim;
  if (!system_.ClaimInstallFolder(folder)) {
    claim.Busy = true;
    return claim;
  }
  claim.Recovery = RecoverUnfinishedRun(system_.Files(), &system_, folder, running_);
  // A journal that was not trusted stays: the folder is asked for again.
  if (!claim.Refused()) held_ = FolderKey(folder);
  return claim;
}

JournaledRun::JournaledRun(System* real, const std::string& folder, UninstallList& installLog,
                           JournalFaults* faults)
    : real_(real) {
  if (!real || folder.empty()) return;
  journal_ = std::make_unique<RunJournal>(real->Files(), folder, real->CurrentProcess(), faults);
  files_ = std::make_unique<JournaledFileSystem>(real->Files(), *journal_);
  system_ = std::make_unique<JournaledSystem>(*real, *files_, *journal_);
  // The install folder is there from the start of the run (it always was at
  // its end), with the journal in it.
  journal_->Begin([&installLog, this](const std::string& dir) {
    installLog.AddDirectory(dir);
    files_->NoteFolderMade(dir);
  });
}

JournaledRun::~JournaledRun() = default;

System* JournaledRun::RunSystem() const { return system_ ? system_.get() : real_; }

bool JournaledRun::Started() const { return journal_ && journal_->Started(); }

std::string JournaledRun::JournalPath() const { return journal_ ? journal_->Path() : std::string(); }

std::string JournaledRun::Problem() const { return journal_ ? journal_->Problem() : std::string(); }

void JournaledRun::SetHeldFiles(const std::set<std::string>& held) {
  if (files_) files_->SetHeldFiles(held);
}

std::vector<std::pair<std::string, std::string>> JournaledRun::MovesAtRestart() const {
  return files_ ? files_->MovesAtRestart() : std::vector<std::pair<std::string, std::string>>{};
}

void JournaledRun::Commit() {
  if (journal_) journal_->Commit();
}

std::vector<std::string> JournaledRun::RollBack() {
  if (!journal_) return {};
  return journal_->RollBack(real_);
}

}  // namespace ferry
