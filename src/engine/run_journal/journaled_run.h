// A setup run with its journal: the install folder claimed for this process,
// an unfinished run found there undone first, and a system for the run's
// commands that notes each change in the journal before it is made.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_journal/run_recovery.h"

namespace ferry {

class JournalFaults;
class JournaledFileSystem;
class JournaledSystem;
class RunJournal;
class System;
class UninstallList;

// "Another setup is working in <folder> ; try again when it has finished"
std::string FolderBusyMessage(const std::string& folder);

struct FolderClaim {
  bool Busy = false;  // another process works in the folder
  RecoveryReport Recovery;
  // Nothing may run there: another process works in it, or a journal there
  // was not trusted (it stays, and a new run's journal could not be made).
  bool Refused() const { return Busy || !Recovery.Untrusted.empty(); }
};

// What to tell about a claim: why nothing may run in the folder, or what
// undoing a run killed there did; "" when there is nothing to tell.
std::string FolderClaimText(const FolderClaim& claim, const std::string& folder);

// The install folder this process holds. A folder is claimed, and a run
// killed there undone, once: the folder start-up chose before the first
// page, and at the run only a folder the wizard changed to.
class InstallFolderClaim {
 public:
  // running: the file of this program when a run may have written it (an
  // uninstaller's own), which undoing a run leaves in place (UndoRun).
  explicit InstallFolderClaim(System& system, std::string running = {})
      : system_(system), running_(std::move(running)) {}

  // Claims the folder (System::ClaimInstallFolder) and then undoes the run
  // a journal there belongs to, unless its process still runs. The folder
  // held already: nothing to do, an empty claim.
  FolderClaim Claim(const std::string& folder);

 private:
  System& system_;
  std::string running_;
  std::string held_;  // the folder claimed, as Claim compares it
};

class JournaledRun {
 public:
  // Journals a run on `real` in the install folder `folder`; the folders
  // made for the journal go to the install log. Nothing is journaled
  // without a system or a folder. faults: a test build's hook into the
  // journal.
  JournaledRun(System* real, const std::string& folder, UninstallList& installLog, JournalFaults* faults = nullptr);
  ~JournaledRun();
  JournaledRun(const JournaledRun&) = delete;
  JournaledRun& operator=(const JournaledRun&) = delete;

  // What the run's commands act on: the journaled system (the real one when
  // nothing is journaled; none without a system).
  System* RunSystem() const;

  // The journal is open; otherwise nothing of the run may be changed.
  bool Started() const;
  // The journal's path and why it could not be opened ("" while it could).
  std::string JournalPath() const;
  std::string Problem() const;
  // Files running programs hold, left to the next restart (see
  // JournaledFileSystem::SetHeldFiles).
  void SetHeldFiles(const std::set<std::string>& held);
  // The moves the run left to the next restart: from, and to ("": removed).
  std::vector<std::pair<std::string, std::string>> MovesAtRestart() const;
  // The run succeeded: what it set aside goes with the journal.
  void Commit();
  // The run failed: all it changed is undone. What could not be, one line each.
  std::vector<std::string> RollBack();

 private:
  System* real_ = nullptr;
  std::unique_ptr<RunJournal> journal_;
  std::unique_ptr<JournaledFileSystem> files_;
  std::unique_ptr<JournaledSystem> system_;
};

}  // namespace ferry
