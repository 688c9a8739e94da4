#include "base/file_system.h"

#include <vector>

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where creating stops: nothing left, a root ("\", "C:", "C:\") or the
// share of a network path ("\\server\share").
bool IsTop(const std::string& dir) {
  if (dir.empty() || (dir.size() == 1 && IsSeparator(dir[0]))) return true;
  if (dir.size() == 2 && dir[1] == ':') return true;
  if (dir.size() > 2 && IsSeparator(dir[0]) && IsSeparator(dir[1])) {
    size_t server = dir.find_first_of("\\/", 2);
    return server == std::string::npos || dir.find_first_of("\\/", server + 1) == std::string::npos;
  }
  return false;
}

std::string WithoutTrailingSeparators(std::string dir) {
  while (dir.size() > 1 && IsSeparator(dir.back())) dir.pop_back();
  return dir;
}

std::string ParentOf(const std::string& dir) {
  size_t slash = dir.find_last_of("\\/");
  if (slash == std::string::npos) return {};
  if (slash == 0) return dir.substr(0, 1);
  return WithoutTrailingSeparators(dir.substr(0, slash));
}

// Written under `scratch` and renamed to `target`; with no target, written at
// its own name and only closed.
class RenamedFile : public StagedFile {
 public:
  RenamedFile(FileSystem& files, std::unique_ptr<RandomAccessFile> file, std::string scratch, std::string target)
      : files_(files), file_(std::move(file)), scratch_(std::move(scratch)), target_(std::move(target)) {}
  ~RenamedFile() override {
    if (placed_) return;
    file_.reset();
    files_.RemoveFile(scratch_);
  }
  RandomAccessFile& File() override { return *file_; }
  bool Place() override {
    file_.reset();
    placed_ = target_.empty() || files_.RenameFile(scratch_, target_);
    return placed_;
  }

 private:
  FileSystem& files_;
  std::unique_ptr<RandomAccessFile> file_;
  std::string scratch_, target_;
  bool placed_ = false;
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::unique_ptr<StagedFile> FileSystem::CreateStaged(const std::string& scratch, const std::string& target) {
  std::unique_ptr<RandomAccessFile> file = Open(scratch, FileMode::kCreateNew);
  if (!file) return nullptr;
  return std::make_unique<RenamedFile>(*this, std::move(file), scratch, target);
}

std::unique_ptr<StagedFile> FileSystem::CreateFresh(const std::string& path) {
  std::unique_ptr<RandomAccessFile> file = Open(path, FileMode::kCreateNew);
  if (!file) return nullptr;
  return std::make_unique<RenamedFile>(*this, std::move(file), path, std::string());
}

std::unique_ptr<StagedFile> FileSystem::CreateStagedOrFresh(const std::string& scratch, const std::string& target) {
  return CreateStaged(scratch, target);
}

bool MatchesFileMask(std::string_view name, std::string_view mask) {
  // Greedy with one step back to the last "*": linear enough for file names.
  size_t n = 0, m = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool ForceDirectories(FileSystem& files, const std::string& path, const DirectoryCreatedFn& created) {
  std::vector<std::string> missing;
  for (std::string dir = WithoutTrailingSeparators(path); !IsTop(dir); dir = ParentOf(dir)) {
    if (files.DirectoryExists(dir)) break;
    missing.push_back(dir);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!files.CreateDirectory(*it)) return false;  // nothing below it can be made either
    // The folder asked for is reported as written, with or without its
    // backslash; the ones above it with one.
    if (created) created(*it == path ? path : *it + '\\');
  }
  return true;
}

}  // namespace ferry
