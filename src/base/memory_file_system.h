// Files and folders in memory, for tests and fuzzers: every change can be
// seen and interrupted. Paths are compared as given.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/file_system.h"

namespace ferry {

class MemoryFileSystem : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override;
  bool FileExists(const std::string& path) override { return files_.count(path) != 0; }
  bool DirectoryExists(const std::string& path) override { return dirs_.count(path) != 0; }
  bool IsReadOnly(const std::string& path) override { return read_only_.count(path) != 0; }
  bool MakeWritable(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  std::vector<FoundFile> FindFiles(const std::string& pattern) override;

  void Put(const std::string& path, std::vector<uint8_t> bytes);
  void SetReadOnly(const std::string& path) { read_only_.insert(path); }
  // nullptr when there is no such file.
  const std::vector<uint8_t>* Find(const std::string& path) const;
  std::vector<std::string> Paths() const;  // the files

  struct Change {
    enum Kind { kWrite, kTruncate, kCreate, kRemove, kRename, kCreateDirectory, kRemoveDirectory } Kind;
    std::string Path;
    uint64_t Offset = 0;  // writes; the new size for truncates
    uint64_t Length = 0;
  };
  // Called before every change; a hook that throws stops the change from
  // happening, as a process killed at that moment would.
  void SetChangeHook(std::function<void(const Change&)> hook) { hook_ = std::move(hook); }
  void BeforeChange(const Change& change) {
    if (hook_) hook_(change);
  }

 private:
  std::map<std::string, std::shared_ptr<MemoryFile>> files_;
  std::set<std::string> dirs_;
  std::set<std::string> read_only_;
  std::function<void(const Change&)> hook_;
};

}  // namespace ferry
