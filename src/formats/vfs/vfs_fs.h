// The files an archive update touches: the archive, its side hash table and
// its journal. On disk in the program; in memory in tests, where every write
// can be counted and interrupted.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/random_access_file.h"

namespace ferry {

class VfsFileSystem {
 public:
  virtual ~VfsFileSystem() = default;
  // nullptr when the file is missing or cannot be opened in that mode.
  virtual std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Deletes the file; a missing file is not an error. Throws SetupError
  // when an existing file cannot be deleted.
  virtual void Remove(const std::string& path) = 0;
};

// Paths as the setup gives them ("\" separators); on POSIX hosts "\" is
// taken as "/" so the same paths work in tools and tests.
VfsFileSystem& DiskVfsFileSystem();

class MemoryVfsFileSystem : public VfsFileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override;
  bool Exists(const std::string& path) override;
  void Remove(const std::string& path) override;

  void Put(const std::string& path, std::vector<uint8_t> bytes);
  // nullptr when there is no such file.
  const std::vector<uint8_t>* Find(const std::string& path) const;
  std::vector<std::string> Paths() const;

  struct Change {
    enum Kind { kWrite, kTruncate, kCreate, kRemove } kind;
    std::string path;
    uint64_t offset = 0;  // writes; the new size for truncates
    uint64_t length = 0;
  };
  // Called before every change; a hook that throws stops the change from
  // happening, as a process killed at that moment would.
  void SetChangeHook(std::function<void(const Change&)> hook) { hook_ = std::move(hook); }
  void BeforeChange(const Change& change) {
    if (hook_) hook_(change);
  }

 private:
  std::map<std::string, std::shared_ptr<MemoryFile>> files_;
  std::function<void(const Change&)> hook_;
};

}  // namespace ferry
