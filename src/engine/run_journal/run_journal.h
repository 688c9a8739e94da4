// The journal of one setup run (formats/run_journal): it sits in the install
// folder as "~ferry-run.journal" from the run's first change to its end, and
// names everything the run changed so that a failed run can be undone here
// and a killed one at the next start (run_recovery.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/random_access_file.h"
#include "engine/system.h"
#include "formats/run_journal/run_journal_format.h"

namespace ferry {

class FileSystem;

inline constexpr char kRunJournalName[] = "~ferry-run.journal";
std::string RunJournalPath(const std::string& installFolder);

// A set-aside or temporary file of a run: "~ferry-" names in the folder of the
// file they stand for; recovery restores only such names.
bool IsRunScratchName(const std::string& path);

// What a test build does as a run's journal grows (the run journal's e2e
// test ends the process there, as a kill would). The shipped stub has none.
class JournalFaults {
 public:
  virtual ~JournalFaults() = default;
  // After each record noted, with the number of records the journal holds.
  virtual void RecordNoted(size_t records) = 0;
  // After the first bytes of a payload file written at its own name.
  virtual void FreshFileBegun(const std::string& path) { (void)path; }
};

class RunJournal {
 public:
  RunJournal(FileSystem& files, std::string installFolder, ProcessIdentity self, JournalFaults* faults = nullptr);
  ~RunJournal();
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Appends a record before the change it protects, opening the journal at
  // the first one. toDisk: pushed to the disk too (before changes that move
  // or overwrite what was there). False when it could not be written: the
  // change must not be made.
  bool Note(const JournalRecord& record, bool toDisk);
  // Opens the journal now, creating the install folder for it; `created`
  // hears of each folder made, parents first. False when it cannot be written.
  bool Begin(const DirectoryCreatedFn& created);
  // A free name in path's folder for a file set aside.
  std::string NewAsideName(const std::string& path);

  bool Started() const { return file_ != nullptr; }
  // Why the journal could not be opened ("" while it could).
  const std::string& Problem() const { return problem_; }
  const std::string& Path() const { return path_; }
  JournalFaults* Faults() const { return faults_; }

  // The run succeeded: set-aside files and folders the run removed go, then
  // the journal.
  void Commit();
  // The run failed: everything it changed is undone and the journal goes.
  // Returns what could not be undone.
  std::vector<std::string> RollBack(System* system);

 private:
  bool Open(const DirectoryCreatedFn& created = {});

  FileSystem& files_;
  std::string folder_;
  std::string path_;
  ProcessIdentity self_;
  JournalFaults* faults_;
  std::unique_ptr<RandomAccessFile> file_;
  uint64_t size_ = 0;
  uint64_t records_start_ = 0;
  // Only counted: undoing reads them back from the journal.
  size_t records_ = 0;
  bool broken_ = false;
  std::string problem_;
};

}  // namespace ferry
