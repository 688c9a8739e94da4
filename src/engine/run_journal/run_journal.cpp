#include "base/path_text.h"
#include "engine/run_journal/run_journal.h"

#include "base/file_system.h"
#include "base/random_name.h"
#include "base/setup_error.h"
#include "base/text_helpers.h"
#include "engine/run_journal/run_recovery.h"

namespace ferry {

std::string RunJournalPath(const std::string& installFolder) {
  return IncludeTrailingBackslash(installFolder) + kRunJournalName;
}

bool IsRunScratchName(const std::string& path) {
  const std::string name = path.substr(FolderOf(path).size());
  const std::string_view suffix = kScratchSuffix;
  return name.rfind(kScratchPrefix, 0) == 0 && name.size() > suffix.size() &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

RunJournal::RunJournal(FileSystem& files, std::string installFolder, ProcessIdentity self, JournalFaults* faults)
    : files_(files), folder_(std::move(installFolder)), path_(RunJournalPath(folder_)), self_(self), faults_(faults) {}

RunJournal::~RunJournal() = default;

bool RunJournal::Begin(const DirectoryCreatedFn& created) { return file_ || Open(created); }

bool RunJournal::Open(const DirectoryCreatedFn& created) {
  if (broken_) return false;
  std::vector<std::string> made;
  ForceDirectories(files_, IncludeTrailingBackslash(folder_), [&](const std::string& dir) {
    made.push_back(dir);
    if (created) created(dir);
  });
  try {
    // Created new: a link or a file planted at the journal's name is never
    // written through.
    file_ = files_.Open(path_, FileMode::kCreateNew);
    if (!file_ && (files_.FileExists(path_) || files_.DirectoryExists(path_) || !files_.FindFiles(path_).empty()))
      problem_ = "something of that name is already there (a link or a file this setup did not write)";
    if (file_) {
      JournalHeader header{self_.Id, self_.Start, folder_};
      std::vector<uint8_t> bytes = EncodeJournalHeader(header);
      file_->WriteAt(0, bytes);
      size_t at = bytes.size();
      records_start_ = at;
      // The folders that hold the journal were made just before it.
      for (const std::string& dir : made) {
        JournalRecord rec;
        rec.Kind = JournalRecordKind::kFolderCreated;
        rec.Path = dir;
        std::vector<uint8_t> r = EncodeJournalRecord(rec);
        file_->WriteAt(at, r);
        at += r.size();
        ++records_;
      }
      file_->Flush();
      size_ = at;
      return true;
    }
  } catch (const SetupError&) {
  }
  file_.reset();
  broken_ = true;
  if (problem_.empty())
    problem_ = IncludeTrailingBackslash(folder_) +
               " cannot be written (no right to write there, a read-only drive or a full disk)";
  return false;
}

bool RunJournal::Note(const JournalRecord& record, bool toDisk) {
  if (!file_ && !Open()) return false;
  try {
    std::vector<uint8_t> bytes = EncodeJournalRecord(record);
    file_->WriteAt(size_, bytes);
    if (toDisk) file_->Flush();
    size_ += bytes.size();
  } catch (const SetupError&) {
    return false;
  }
  ++records_;
  if (faults_) faults_->RecordNoted(records_);
  return true;
}

std::string RunJournal::NewAsideName(const std::string& path) {
  const std::string folder = FolderOf(path);
  for (;;) {
    std::string name = RandomScratchPath(folder);
    if (!files_.FileExists(name) && !files_.DirectoryExists(name)) return name;
  }
}

void RunJournal::Commit() {
  if (!file_) return;
  JournalRecord done;
  done.Kind = JournalRecordKind::kCommitting;
  Note(done, true);
  UndoRun(files_, nullptr, std::move(file_), records_start_, path_);
}

std::vector<std::string> RunJournal::RollBack(System* system) {
  if (!file_) return {};
  RecoveryReport report = UndoRun(files_, system, std::move(file_), records_start_, path_);
  records_ = 0;
  return report.NotUndone;
}

}  // namespace ferry
