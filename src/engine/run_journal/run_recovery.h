// Undoing a run from its journal: at the end of a failed run, and when a
// setup or an uninstaller starts and finds the journal of a run that was
// killed.
//
// Records are undone newest first, each one marked undone in the journal as
// it goes, so recovery that is itself interrupted goes on where it stopped.
// Only what the journal names is touched: a file is deleted only when a
// record says the run created it, a file is restored only from a "~ferry-"
// name beside it, product archives are put back by their own side files.
// A journal whose run had finished its work (kCommitting) is completed
// instead: the set-aside files go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/run_journal/run_journal_format.h"

namespace ferry {

class FileSystem;
class RandomAccessFile;
class System;

struct RecoveryReport {
  bool Found = false;         // a journal was there
  bool LeftAlone = false;     // its run is still going
  bool Completed = false;     // its run had succeeded: only the clean-up was finished
  std::string Untrusted;      // why the journal was not replayed: a program of lesser rights may have written it
  size_t Undone = 0;          // records undone
  std::vector<std::string> NotUndone;  // what could not be undone, one line each
  std::vector<std::string> FoldersKept;  // folders the run made that stay (not empty)
};

// Undoes (or completes) the run whose journal is open as `journal` at
// journalPath, its records from recordsStart on, read back as they are
// needed. The journal gets a kUndone record per step; it is closed and
// deleted at the end, and then the folders the run created are removed when
// empty (the journal itself sits in one of them).
//
// running: the file of the program that undoes the run ("" none), an
// uninstaller the run wrote, which cannot delete itself: the run's new copy
// stays under its name and the one it replaced goes (the uninstall that
// follows removes the product and then the program); the folders it keeps
// are listed in FoldersKept, not reported.
RecoveryReport UndoRun(FileSystem& files, System* system, std::unique_ptr<RandomAccessFile> journal,
                       uint64_t recordsStart, const std::string& journalPath, const std::string& running = {});

// The journal of installFolder, if any, undone and deleted unless its
// process still runs or the system does not trust it (System::WhyNotTrusted:
// a crafted journal would have this process delete or move what it names).
RecoveryReport RecoverUnfinishedRun(FileSystem& files, System* system, const std::string& installFolder,
                                    const std::string& running = {});

// One line for the user about a recovery that found something ("" otherwise).
std::string RecoverySummary(const RecoveryReport& report, const std::string& installFolder);

}  // namespace ferry
