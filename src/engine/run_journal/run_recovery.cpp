#include "base/path_text.h"
#include "engine/run_journal/run_recovery.h"

#include <cstdlib>

#include "base/file_system.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "engine/run_journal/run_journal.h"
#include "engine/system.h"
#include "formats/package/package_storage.h"
#include "formats/vfs/vfs_journal.h"

namespace ferry {

namespace {

// Either kind of archive keeps its own side file; whichever is there counts.
bool IsSideFileOf(const JournalRecord& update, const std::string& path) {
  return path == VfsJournal::PathFor(update.Path) || path == TailBackupPath(update.Path);
}

// The records of an open journal, read back from it one at a time as they
// are needed: a run of many files keeps none of them in memory.
class JournalRecords {
 public:
  JournalRecords(RandomAccessFile& file, uint64_t start) : file_(file) {
    JournalReader reader(file_, start);
    uint64_t here = 0;
    while (std::optional<JournalRecord> rec = reader.Next(here)) {
      if (rec->Kind == JournalRecordKind::kUndone) undone_.push_back(rec->Index);
      if (rec->Kind == JournalRecordKind::kCommitting) committing_ = true;
      if (LeavesWorkForCompletion(*rec)) completion_.push_back(offsets_.size());
      if (rec->Kind == JournalRecordKind::kArchiveUpdate) updates_.push_back({offsets_.size(), std::move(*rec)});
      offsets_.push_back(here);
    }
  }

  size_t Count() const { return offsets_.size(); }
  bool Committing() const { return committing_; }
  // Which records recovery had undone already.
  std::vector<bool> Undone() const {
    std::vector<bool> done(offsets_.size(), false);
    for (uint32_t i : undone_)
      if (i < done.size()) done[i] = true;
    return done;
  }
  // The file read whole a moment ago: a record that no longer reads back is
  // damage since, and is left alone.
  std::optional<JournalRecord> At(size_t i) {
    uint64_t at = offsets_[i];
    return ReadJournalRecord(file_, at);
  }
  // Archive updates, oldest first, with their record numbers.
  const std::vector<std::pair<size_t, JournalRecord>>& Updates() const { return updates_; }
  // The records a finished run's clean-up acts on: files set aside, folders removed.
  const std::vector<size_t>& ForCompletion() const { return completion_; }

 private:
  RandomAccessFile& file_;
  std::vector<uint64_t> offsets_;
  std::vector<uint32_t> undone_;
  std::vector<std::pair<size_t, JournalRecord>> updates_;
  std::vector<size_t> completion_;
  bool committing_ = false;

  static bool LeavesWorkForCompletion(const JournalRecord& rec) {
    return rec.Kind == JournalRecordKind::kFileSetAside || rec.Kind == JournalRecordKind::kFolderRemoved ||
           (rec.Kind == JournalRecordKind::kFilePlaced && !rec.Aside.empty());
  }
};

class Undoer {
 public:
  Undoer(JournalRecords& records, FileSystem& files, System* system, RandomAccessFile* journal,
         RecoveryReport& report, const std::string& running)
      : records_(records), files_(files), system_(system), journal_(journal), report_(report), running_(running) {
    journal_size_ = journal_ ? journal_->Size() : 0;
  }

  void UndoAll() {
    const std::vector<bool> undone = records_.Undone();
    for (size_t i = records_.Count(); i-- > 0;) {
      if (undone[i]) continue;
      std::optional<JournalRecord> rec = records_.At(i);
      if (!rec || !Undoable(rec->Kind)) continue;
      Undo(*rec, i);
      MarkUndone(i);
      ++report_.Undone;
    }
  }

  // The run had succeeded: what it set aside and the folders it removed go.
  void Complete() {
    for (size_t i : records_.ForCompletion()) {
      std::optional<JournalRecord> rec = records_.At(i);
      if (!rec) continue;
      if (rec->Kind == JournalRecordKind::kFileSetAside && IsAside(*rec)) {
        RemoveAside(rec->Other);
      } else if (rec->Kind == JournalRecordKind::kFilePlaced && !rec->Aside.empty() &&
                 IsScratchBeside(rec->Aside, rec->Path)) {
        RemoveAside(rec->Aside);
      } else if (rec->Kind == JournalRecordKind::kFolderRemoved && files_.DirectoryExists(rec->Path)) {
        files_.RemoveDirectory(rec->Path);
      }
    }
  }

  const std::vector<std::string>& CreatedFolders() const { return created_folders_; }

 private:
  static bool Undoable(JournalRecordKind kind) {
    return kind != JournalRecordKind::kCommitting && kind != JournalRecordKind::kUndone &&
           kind != JournalRecordKind::kFolderRemoved;
  }

  // A name the run made: "~ferry-...tmp" beside the file.
  static bool IsScratchBeside(const std::string& scratch, const std::string& path) {
    return IsRunScratchName(scratch) && FolderOf(scratch) == FolderOf(path) && !FolderOf(path).empty();
  }
  static bool IsAside(const JournalRecord& rec) { return IsScratchBeside(rec.Other, rec.Path); }

  void RemoveAside(const std::string& aside) {
    if (files_.IsReadOnly(aside)) files_.MakeWritable(aside);
    files_.RemoveFile(aside);
  }

  // A file the run created: it goes.
  void RemoveCreated(const std::string& path, size_t i) {
    RestoreArchiveFrom(path, i);
    if (files_.FileExists(path)) {
      if (files_.IsReadOnly(path)) files_.MakeWritable(path);
      if (!files_.RemoveFile(path)) NotUndone("Cannot delete " + path);
    }
  }

  // The new file goes (with its scratch file, if it was not placed) and
  // what was there comes back, if it had been moved aside.
  void UndoPlaced(const JournalRecord& rec, size_t i) {
    if (!IsScratchBeside(rec.Other, rec.Path) || (!rec.Aside.empty() && !IsScratchBeside(rec.Aside, rec.Path))) {
      NotUndone("Not undone (no scratch name of a run): " + rec.Path);
      return;
    }
    if (files_.FileExists(rec.Other)) files_.RemoveFile(rec.Other);
    if (rec.Aside.empty()) {
      RemoveCreated(rec.Path, i);
      return;
    }
    if (!files_.FileExists(rec.Aside)) return;  // never moved: what is there is the old file
    if (!TrustedAside(rec.Aside)) return;
    if (files_.FileExists(rec.Path)) {
      if (files_.IsReadOnly(rec.Path)) files_.MakeWritable(rec.Path);
      if (!files_.RemoveFile(rec.Path)) {
        NotUndone("Cannot put back " + rec.Path + ": it cannot be deleted; the old file is " + rec.Aside);
        return;
      }
    }
    if (!files_.RenameFile(rec.Aside, rec.Path))
      NotUndone("Cannot put back " + rec.Path + " from " + rec.Aside);
    else
      RestoreArchiveFrom(rec.Path, i);
  }

  void NotUndone(const std::string& line) { report_.NotUndone.push_back(line); }

  // A set-aside file comes back under its own name only when no program of
  // lesser rights could have put it there.
  bool TrustedAside(const std::string& aside) {
    const std::string why = system_ ? system_->WhyNotTrusted(aside) : std::string();
    if (why.empty()) return true;
    NotUndone("Not restored: " + aside + ": " + why);
    return false;
  }

  // The running program's own file, written by the run: it stays, and what
  // it replaced goes.
  bool KeepRunning(const JournalRecord& rec) {
    if (running_.empty() || !EqualsNoCase(rec.Path, running_)) return false;
    if (rec.Kind == JournalRecordKind::kFilePlaced) {
      if (files_.FileExists(rec.Other)) files_.RemoveFile(rec.Other);
      if (!rec.Aside.empty() && IsScratchBeside(rec.Aside, rec.Path) && files_.FileExists(rec.Aside))
        RemoveAside(rec.Aside);
      return true;
    }
    return rec.Kind == JournalRecordKind::kFileCreated;
  }

  void Undo(const JournalRecord& rec, size_t i) {
    if (KeepRunning(rec)) return;
    switch (rec.Kind) {
      case JournalRecordKind::kFileCreated:
        RemoveCreated(rec.Path, i);
        break;
      case JournalRecordKind::kFilePlaced:
        UndoPlaced(rec, i);
        break;
      case JournalRecordKind::kFileSetAside:
        if (!IsAside(rec)) {
          NotUndone("Not restored (no set-aside name of a run): " + rec.Other);
        } else if (files_.FileExists(rec.Other) && TrustedAside(rec.Other)) {
          if (files_.FileExists(rec.Path) || files_.DirectoryExists(rec.Path))
            NotUndone("Cannot put back " + rec.Path + ": something else is there; the old file is " + rec.Other);
          else if (!files_.RenameFile(rec.Other, rec.Path))
            NotUndone("Cannot put back " + rec.Path + " from " + rec.Other);
          else
            RestoreArchiveFrom(rec.Path, i);
        }
        break;
      case JournalRecordKind::kFileRenamed:
        if (files_.FileExists(rec.Other) && !files_.FileExists(rec.Path) && !files_.RenameFile(rec.Other, rec.Path))
          NotUndone("Cannot move " + rec.Other + " back to " + rec.Path);
        break;
      case JournalRecordKind::kFolderCreated:
        created_folders_.push_back(rec.Path);  // once the journal is gone
        break;
      case JournalRecordKind::kRegistryValue: {
        RegistryValueState before;
        before.KeyExisted = rec.KeyExisted;
        if (rec.Existed && rec.WasDword)
          before.Dword = static_cast<uint32_t>(std::strtoul(rec.Value.c_str(), nullptr, 10));
        else if (rec.Existed)
          before.Value = rec.Value;
        if (!system_ || !system_->RestoreRegistryValue(rec.Root, rec.Path, rec.Other, before))
          NotUndone("Cannot put back the registry value " + rec.Path + " [" + rec.Other + "]");
        break;
      }
      case JournalRecordKind::kArchiveUpdate:
        RestoreArchive(rec);
        break;
      default:
        break;
    }
  }

  // A side file of an archive the run updated (before record `i`) is the
  // only record of that update: the archive is put back from it before the
  // side file is deleted, or as soon as it is back under its name.
  void RestoreArchiveFrom(const std::string& path, size_t i) {
    for (const auto& [j, rec] : records_.Updates()) {
      if (j >= i) break;
      if (IsSideFileOf(rec, path) && files_.FileExists(path)) {
        RestoreArchive(rec);
        return;
      }
    }
  }

  void RestoreArchive(const JournalRecord& rec) {
    const bool vfs = files_.FileExists(VfsJournal::PathFor(rec.Path));
    const bool package = files_.FileExists(TailBackupPath(rec.Path));
    if (!vfs && !package) return;  // nothing of that update is left to undo
    try {
      auto archive = files_.Open(rec.Path, FileMode::kReadWriteExclusive);
      if (!archive) {
        NotUndone("Cannot open " + rec.Path + " to put it back");
        return;
      }
      if (vfs) VfsJournal::Recover(files_, rec.Path, *archive);
      if (package && RollBackUpdate(files_, rec.Path, *archive) == TailRecovery::kMismatch) {
        NotUndone("Cannot put back " + rec.Path + ": it was changed by something else");
      }
    } catch (const SetupError& e) {
      NotUndone("Cannot put back " + rec.Path + ": " + e.what());
    }
  }

  void MarkUndone(size_t i) {
    if (!journal_) return;
    JournalRecord mark;
    mark.Kind = JournalRecordKind::kUndone;
    mark.Index = static_cast<uint32_t>(i);
    std::vector<uint8_t> bytes = EncodeJournalRecord(mark);
    try {
      journal_->WriteAt(journal_size_, bytes);
      journal_size_ += bytes.size();
    } catch (const SetupError&) {
      journal_ = nullptr;  // the undoing goes on; a second recovery redoes harmless steps
    }
  }

  JournalRecords& records_;
  FileSystem& files_;
  System* system_;
  RandomAccessFile* journal_;
  uint64_t journal_size_ = 0;
  RecoveryReport& report_;
  const std::string& running_;
  std::vector<std::string> created_folders_;
};

}  // namespace

RecoveryReport UndoRun(FileSystem& files, System* system, std::unique_ptr<RandomAccessFile> journal,
                       uint64_t recordsStart, const std::string& journalPath, const std::string& running) {
  RecoveryReport report;
  report.Found = true;
  {
    JournalRecords records(*journal, recordsStart);
    Undoer undoer(records, files, system, journal.get(), report, running);
    if (records.Committing()) {
      report.Completed = true;
      undoer.Complete();
    } else {
      undoer.UndoAll();
    }
    journal.reset();
    if (!files.RemoveFile(journalPath)) report.NotUndone.push_back("Cannot delete " + journalPath);
    // Newest first: a folder's subfolders go before it.
    for (const std::string& folder : undoer.CreatedFolders()) {
      if (!files.DirectoryExists(folder) || files.RemoveDirectory(folder)) continue;
      report.FoldersKept.push_back(folder);
      if (running.empty()) report.NotUndone.push_back("The folder " + folder + " stays: it is not empty");
    }
  }
  return report;
}

RecoveryReport RecoverUnfinishedRun(FileSystem& files, System* system, const std::string& installFolder,
                                    const std::string& running) {
  RecoveryReport report;
  if (installFolder.empty()) return report;
  const std::string path = RunJournalPath(installFolder);
  if (!files.FileExists(path)) return report;
  std::unique_ptr<RandomAccessFile> journal = files.Open(path, FileMode::kReadWriteExclusive);
  if (!journal) {
    // Open without sharing fails while its run still writes it.
    report.Found = true;
    report.LeftAlone = true;
    return report;
  }
  // Checked while it is open without sharing: it cannot be swapped now.
  if (system) {
    if (std::string why = system->WhyNotTrusted(path); !why.empty()) {
      report.Found = true;
      report.Untrusted = why;
      return report;
    }
  }
  uint64_t recordsStart = 0;
  std::optional<JournalHeader> header = ReadJournalHeader(*journal, recordsStart);
  if (!header) {
    // Only a header cut short: the run had not changed anything yet.
    journal.reset();
    files.RemoveFile(path);
    report.Found = true;
    return report;
  }
  if (system && system->IsProcessRunning({header->ProcessId, header->ProcessStart})) {
    report.Found = true;
    report.LeftAlone = true;
    return report;
  }
  return UndoRun(files, system, std::move(journal), recordsStart, path, running);
}

std::string RecoverySummary(const RecoveryReport& report, const std::string& installFolder) {
  if (!report.Found) return {};
  if (!report.Untrusted.empty())
    return "The run journal " + RunJournalPath(installFolder) + " was not replayed: " + report.Untrusted +
           ". Remove it, or the folder, and start again.";
  if (report.LeftAlone) return "A setup run in " + installFolder + " is still going; its journal was left alone.";
  std::string text = report.Completed
                         ? "An earlier setup run in " + installFolder + " had finished; its clean-up was completed."
                         : "An earlier setup run in " + installFolder + " did not finish; its " +
                               std::to_string(report.Undone) + " changes were undone.";
  if (!report.NotUndone.empty())
    text += " " + std::to_string(report.NotUndone.size()) + " could not be undone: " + report.NotUndone.front() +
            (report.NotUndone.size() > 1 ? " (and more)" : "");
  return text;
}

}  // namespace ferry
