#include "engine/run_journal/journaled_files.h"

#include <cstdlib>

#include "base/path_text.h"
#include "base/text.h"
#include "engine/run_journal/run_journal.h"

namespace ferry {

namespace {

JournalRecord FileRecord(JournalRecordKind kind, const std::string& path, const std::string& other = {}) {
  JournalRecord rec;
  rec.Kind = kind;
  rec.Path = path;
  rec.Other = other;
  return rec;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

// What was at the target is moved aside just before the new file is moved
// in, and back when that fails.
class JournaledStagedFile : public StagedFile {
 public:
  JournaledStagedFile(FileSystem& inner, std::unique_ptr<StagedFile> staged, std::string target, std::string aside)
      : inner_(inner), staged_(std::move(staged)), target_(std::move(target)), aside_(std::move(aside)) {}
  RandomAccessFile& File() override { return staged_->File(); }
  bool Place() override {
    if (!aside_.empty() && !inner_.RenameFile(target_, aside_)) return false;
    if (staged_->Place()) return true;
    if (!aside_.empty()) inner_.RenameFile(aside_, target_);
    return false;
  }

 private:
  FileSystem& inner_;
  std::unique_ptr<StagedFile> staged_;
  std::string target_, aside_;
};

// A file written at its own name, which tells a test build's fault hook
// once its first bytes are there.
class FaultedFile : public RandomAccessFile {
 public:
  FaultedFile(RandomAccessFile& inner, JournalFaults& faults, std::string path)
      : inner_(inner), faults_(faults), path_(std::move(path)) {}
  uint64_t Size() override { return inner_.Size(); }
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override { return inner_.ReadAt(offset, out); }
  void WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
    inner_.WriteAt(offset, data);
    if (!told_ && !data.empty()) {
      told_ = true;
      faults_.FreshFileBegun(path_);
    }
  }
  void Truncate(uint64_t size) override { inner_.Truncate(size); }
  void Flush() override { inner_.Flush(); }

 private:
  RandomAccessFile& inner_;
  JournalFaults& faults_;
  std::string path_;
  bool told_ = false;
};

class FaultedStagedFile : public StagedFile {
 public:
  FaultedStagedFile(std::unique_ptr<StagedFile> staged, JournalFaults& faults, const std::string& path)
      : staged_(std::move(staged)), file_(staged_->File(), faults, path) {}
  RandomAccessFile& File() override { return file_; }
  bool Place() override { return staged_->Place(); }

 private:
  std::unique_ptr<StagedFile> staged_;
  FaultedFile file_;
};

std::string HeldKey(const std::string& path) { return AsciiLowerCopy(WithSingleSeparators(path)); }

}  // namespace

void JournaledFileSystem::SetHeldFiles(const std::set<std::string>& held) {
  for (const std::string& path : held) held_.insert(HeldKey(path));
}

bool JournaledFileSystem::Held(const std::string& path) const { return !held_.empty() && held_.count(HeldKey(path)); }

std::unique_ptr<StagedFile> JournaledFileSystem::CreateStaged(const std::string& scratch, const std::string& target) {
  if (Held(target)) {
    // Placed as a new file of the run beside the held one; it takes the held
    // one's place at the next restart.
    const std::string next = FolderOf(target) + "~ferry-next-" + target.substr(FolderOf(target).size());
    at_restart_.emplace_back(WithSingleSeparators(next), WithSingleSeparators(target));
    return CreateStaged(scratch, next);
  }
  JournalRecord rec = FileRecord(JournalRecordKind::kFilePlaced, target, scratch);
  // In a folder of the run's own, what is there is the run's: no need to
  // ask (a look-up of a missing name costs Wine a scan of the folder).
  const bool replacing =
      !made_folders_.count(WithoutTrailingSlash(FolderOf(target))) && inner_.FileExists(target);
  if (replacing) rec.Aside = journal_.NewAsideName(target);
  if (!journal_.Note(rec, replacing)) return nullptr;
  std::unique_ptr<StagedFile> staged = inner_.CreateStaged(scratch, target);
  if (!staged) return nullptr;
  return std::make_unique<JournaledStagedFile>(inner_, std::move(staged), target, rec.Aside);
}

std::unique_ptr<StagedFile> JournaledFileSystem::CreateStagedOrFresh(const std::string& scratch,
                                                                     const std::string& target) {
  if (Held(target)) return CreateStaged(scratch, target);
  // Only in a folder the run made: where the product was, a file cut short
  // at its own name could be taken up by the product before the run is
  // undone (a plug-in folder, a folder of settings read whole).
  const bool madeFolder = made_folders_.count(WithoutTrailingSlash(FolderOf(target))) != 0;
  if (!madeFolder) return CreateStaged(scratch, target);
  // Noted as a placed file with no file moved aside, as a staged one: a
  // stop in its write leaves a partial file at the name, which undoing
  // removes as the run's own. The record is the same either way.
  if (!journal_.Note(FileRecord(JournalRecordKind::kFilePlaced, target, scratch), false)) return nullptr;
  std::unique_ptr<StagedFile> fresh = inner_.CreateFresh(target);
  // Something has the name after all (an entry named twice, or a file come
  // since the look): replaced by a rename, as a staged file.
  if (!fresh) return inner_.CreateStaged(scratch, target);
  JournalFaults* faults = journal_.Faults();
  if (!faults) return fresh;
  return std::make_unique<FaultedStagedFile>(std::move(fresh), *faults, target);
}

bool JournaledFileSystem::SetAside(const std::string& path) {
  std::string aside = journal_.NewAsideName(path);
  // Pushed to the disk first: after the move, the journal is the only
  // place that knows where the file went.
  if (!journal_.Note(FileRecord(JournalRecordKind::kFileSetAside, path, aside), true)) return false;
  return inner_.RenameFile(path, aside);
}

bool JournaledFileSystem::PrepareNewFile(const std::string& path) {
  if (inner_.FileExists(path)) {
    if (!SetAside(path)) return false;
  }
  return journal_.Note(FileRecord(JournalRecordKind::kFileCreated, path), false);
}

std::unique_ptr<RandomAccessFile> JournaledFileSystem::Open(const std::string& path, FileMode mode) {
  if (!IsCreateMode(mode)) {
    // Written in place: a product archive, whose own side file keeps what
    // the update overwrites. Noted once, so the run can put it back.
    if (mode != FileMode::kRead && !updated_.count(path) && inner_.FileExists(path)) {
      JournalRecord rec = FileRecord(JournalRecordKind::kArchiveUpdate, path);
      const bool vfs = path.size() > 4 && (path.compare(path.size() - 4, 4, ".vfs") == 0 ||
                                           path.compare(path.size() - 4, 4, ".VFS") == 0);
      rec.Archive = vfs ? JournalArchiveKind::kVfs : JournalArchiveKind::kPackage;
      if (!journal_.Note(rec, true)) return nullptr;
      updated_.insert(path);
    }
    return inner_.Open(path, mode);
  }
  // Created new: what had the name was moved aside just now, so whatever
  // has it again (a link planted meanwhile) is refused, never written through.
  if (!PrepareNewFile(path)) return nullptr;
  return inner_.Open(path, FileMode::kCreateNew);
}

bool JournaledFileSystem::DirectoryExists(const std::string& path) {
  if (removed_folders_.count(WithoutTrailingSlash(path))) return false;
  return inner_.DirectoryExists(path);
}

bool JournaledFileSystem::RemoveFile(const std::string& path) {
  if (!inner_.FileExists(path)) return true;
  if (Held(path)) {
    at_restart_.emplace_back(WithSingleSeparators(path), std::string());
    return true;
  }
  return SetAside(path);
}

bool JournaledFileSystem::RenameFile(const std::string& from, const std::string& to) {
  if (Held(from) || Held(to)) {
    at_restart_.emplace_back(WithSingleSeparators(from), WithSingleSeparators(to));
    return true;
  }
  if (inner_.FileExists(to) && !SetAside(to)) return false;
  if (!journal_.Note(FileRecord(JournalRecordKind::kFileRenamed, from, to), false)) return false;
  return inner_.RenameFile(from, to);
}

bool JournaledFileSystem::CopyFile(const std::string& from, const std::string& to, bool failIfExists) {
  if (failIfExists && inner_.FileExists(to)) return false;
  if (!inner_.FileExists(from) || !PrepareNewFile(to)) return false;
  return inner_.CopyFile(from, to, true);
}

bool JournaledFileSystem::CreateDirectory(const std::string& path) {
  const std::string folder = WithoutTrailingSlash(path);
  if (removed_folders_.erase(folder)) return true;  // still there: its removal was only noted
  if (!journal_.Note(FileRecord(JournalRecordKind::kFolderCreated, path), false)) return false;
  if (!inner_.CreateDirectory(path)) return false;
  made_folders_.insert(folder);
  return true;
}

void JournaledFileSystem::NoteFolderMade(const std::string& path) { made_folders_.insert(WithoutTrailingSlash(path)); }

bool JournaledFileSystem::RemoveDirectory(const std::string& path) {
  const std::string folder = WithoutTrailingSlash(path);
  // A linked folder is only unlinked; a folder must be empty but for what
  // the run set aside or removed already. Either goes when the run succeeds.
  std::vector<FoundFile> self = inner_.FindFiles(folder);
  const bool link = !self.empty() && self.front().IsLink;
  if (!link && !FindFiles(folder + "\\*").empty()) return false;
  if (!journal_.Note(FileRecord(JournalRecordKind::kFolderRemoved, folder), false)) return false;
  removed_folders_.insert(folder);
  return true;
}

std::vector<FoundFile> JournaledFileSystem::FindFiles(const std::string& pattern) {
  std::vector<FoundFile> found = inner_.FindFiles(pattern);
  const std::string folder = FolderOf(pattern);
  std::vector<FoundFile> seen;
  for (FoundFile& f : found) {
    const std::string path = folder + f.Name;
    if (IsRunScratchName(path) || f.Name == kRunJournalName) continue;
    if (f.IsDirectory && removed_folders_.count(path)) continue;
    seen.push_back(std::move(f));
  }
  return seen;
}

bool JournaledSystem::NoteRegistryValue(int root, const std::string& key, const std::string& name) {
  RegistryValueState before = inner_.QueryRegistryValue(root, key, name);
  JournalRecord rec;
  rec.Kind = JournalRecordKind::kRegistryValue;
  rec.Root = static_cast<uint8_t>(root);
  rec.Path = key;
  rec.Other = name;
  rec.KeyExisted = before.KeyExisted;
  rec.Existed = before.Value.has_value() || before.Dword.has_value();
  rec.WasDword = before.Dword.has_value();
  rec.Value = before.Dword ? std::to_string(*before.Dword) : before.Value.value_or(std::string());
  return journal_.Note(rec, true);
}

RegistryWrite JournaledSystem::WriteRegistryString(int root, const std::string& key, const std::string& name,
                                                   const std::string& value) {
  if (!NoteRegistryValue(root, key, name)) return RegistryWrite::kValueNotWritten;
  return inner_.WriteRegistryString(root, key, name, value);
}

RegistryWrite JournaledSystem::WriteRegistryDword(int root, const std::string& key, const std::string& name,
                                                  uint32_t value) {
  if (!NoteRegistryValue(root, key, name)) return RegistryWrite::kValueNotWritten;
  return inner_.WriteRegistryDword(root, key, name, value);
}

bool JournaledSystem::DeleteRegistryValue(int root, const std::string& key, const std::string& name) {
  RegistryValueState before = inner_.QueryRegistryValue(root, key, name);
  if (!before.Value && !before.Dword) return true;  // nothing there to delete
  return NoteRegistryValue(root, key, name) && inner_.DeleteRegistryValue(root, key, name);
}

bool JournaledSystem::CreateShellLink(const ShellLink& link) {
  if (!files_.PrepareNewFile(link.LinkPath)) return false;
  return inner_.CreateShellLink(link);
}


}  // namespace ferry
