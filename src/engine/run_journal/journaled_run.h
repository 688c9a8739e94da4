// A setup run with its journal: the install folder claimed for this process,
// an unfinished run found there undone first, and the journal put in front
// of the run's system for the run's length.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/run_journal/run_recovery.h"

namespace ferry {

class JournalFaults;
class JournaledFileSystem;
class JournaledSystem;
class RunJournal;
class System;
struct SetupContext;

// "Another setup is working in <folder> ; try again when it has finished"
std::string FolderBusyMessage(const std::string& folder);

struct FolderClaim {
  bool Busy = false;  // another process works in the folder
  RecoveryReport Recovery;
  // Nothing may run there: another process works in it, or a journal there
  // was not trusted (it stays, and a new run's journal could not be made).
  bool Refused() const { return Busy || !Recovery.Untrusted.empty(); }
};

// Claims the folder (System::ClaimInstallFolder) and then undoes the run a
// journal there belongs to, unless its process still runs.
FolderClaim ClaimInstallFolder(System& system, const std::string& folder);

class JournaledRun {
 public:
  // Journals the run in ctx.SetupInfo.InstallDir; nothing without a system
  // or an install folder. faults: a test build's hook into the journal.
  explicit JournaledRun(SetupContext& ctx, JournalFaults* faults = nullptr);
  // Release().
  ~JournaledRun();
  JournaledRun(const JournaledRun&) = delete;
  JournaledRun& operator=(const JournaledRun&) = delete;

  // The journal is open; otherwise nothing of the run may be changed.
  bool Started() const;
  // The journal's path and why it could not be opened ("" while it could).
  std::string JournalPath() const;
  std::string Problem() const;
  // The run succeeded: what it set aside goes with the journal.
  void Commit();
  // The run failed: all it changed is undone. What could not be, one line each.
  std::vector<std::string> RollBack();
  // The run's system is the real one again.
  void Release();

 private:
  SetupContext& ctx_;
  System* real_ = nullptr;
  std::unique_ptr<RunJournal> journal_;
  std::unique_ptr<JournaledFileSystem> files_;
  std::unique_ptr<JournaledSystem> system_;
};

}  // namespace ferry
