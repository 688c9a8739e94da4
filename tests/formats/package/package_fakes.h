// In-memory stand-ins for the package system's surroundings: a file system
// that can fail or "die" at a chosen write, a setup archive group, and a
// progress page that records what it was told.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/package/package_updater.h"
#include "base/file_system.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"

namespace ferry::test {

class MemoryPackageFileSystem : public FileSystem {
 public:
  struct Node {
    std::vector<uint8_t> data;
    std::vector<uint8_t> durable;  // content at the last flush
    bool read_only = false;
    bool read_only_sticks = false;  // the attribute cannot be cleared
    bool locked = false;            // another process holds the file
  };

  enum class FaultMode {
    kNone,
    kError,  // the chosen write throws, the ones after it succeed
    kCrash,  // the chosen write and everything after it never happen
  };

  // ---- Test control ---------------------------------------------------------
  void Put(const std::string& path, std::vector<uint8_t> data) {
    auto n = std::make_shared<Node>();
    n->durable = data;
    n->data = std::move(data);
    files_[path] = n;
  }
  std::vector<uint8_t> Get(const std::string& path) const { return files_.at(path)->data; }
  bool Has(const std::string& path) const { return files_.count(path) != 0; }
  Node& NodeAt(const std::string& path) { return *files_.at(path); }

  // Faults count every write, truncation, creation and removal from now on.
  void FailAt(size_t op, FaultMode mode) {
    fail_at_ = op;
    mode_ = mode;
    ops_ = 0;
    dead_ = false;
  }
  void NoFaults() {
    mode_ = FaultMode::kNone;
    dead_ = false;
  }
  size_t Ops() const { return ops_; }
  bool Dead() const { return dead_; }
  // A crashed machine comes back with what reached the disk.
  void Reboot(bool lose_unflushed) {
    dead_ = false;
    mode_ = FaultMode::kNone;
    if (lose_unflushed)
      for (auto& [p, n] : files_) n->data = n->durable;
  }
  // Writes that would make the sum of all files larger than this fail.
  void SetQuota(std::optional<uint64_t> bytes) { quota_ = bytes; }
  size_t Writes() const { return writes_; }
  void LockAfterCreate(std::string path) { lock_after_create_ = std::move(path); }

  // ---- FileSystem ------------------------------------------------------------
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override {
    if (mode == FileMode::kCreate) {
      if (!Mutate()) return nullptr;
      files_[path] = std::make_shared<Node>();
      // Another program opens it as soon as it is there.
      if (lock_after_create_ == path) files_[path]->locked = true;
      return std::make_unique<Handle>(this, files_[path]);
    }
    if (!FileExists(path)) return nullptr;
    if (mode != FileMode::kRead && (files_[path]->locked || files_[path]->read_only)) return nullptr;
    return std::make_unique<Handle>(this, files_[path]);
  }
  bool FileExists(const std::string& path) override { return files_.count(path) != 0; }
  bool DirectoryExists(const std::string&) override { return false; }
  bool IsReadOnly(const std::string& path) override { return FileExists(path) && files_[path]->read_only; }
  bool MakeWritable(const std::string& path) override {
    if (!FileExists(path) || files_[path]->read_only_sticks) return false;
    files_[path]->read_only = false;
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    if (!Mutate()) return false;
    files_.erase(path);
    return true;
  }
  // The package system moves, copies and lists nothing.
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CopyFile(const std::string&, const std::string&, bool) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<FoundFile> FindFiles(const std::string&) override { return {}; }

 private:
  class Handle : public RandomAccessFile {
   public:
    Handle(MemoryPackageFileSystem* fs, std::shared_ptr<Node> node) : fs_(fs), node_(std::move(node)) {}
    uint64_t Size() override { return node_->data.size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
      MemoryFile m(node_->data);
      return m.ReadAt(offset, out);
    }
    void WriteAt(uint64_t offset, std::span<const uint8_t> data) override {
      if (!fs_->Mutate()) throw SetupError("write failed");
      uint64_t end = offset + data.size();
      if (fs_->quota_ && end > node_->data.size() && fs_->Total() + (end - node_->data.size()) > *fs_->quota_)
        throw SetupError("disk full");
      ++fs_->writes_;
      if (end > node_->data.size()) node_->data.resize(end);
      std::copy(data.begin(), data.end(), node_->data.begin() + static_cast<ptrdiff_t>(offset));
    }
    void Truncate(uint64_t size) override {
      if (!fs_->Mutate()) throw SetupError("truncate failed");
      node_->data.resize(size);
    }
    void Flush() override {
      if (fs_->dead_) throw SetupError("flush failed");
      node_->durable = node_->data;
    }

   private:
    MemoryPackageFileSystem* fs_;
    std::shared_ptr<Node> node_;
  };

  // False when this operation does not happen.
  bool Mutate() {
    if (dead_) return false;
    size_t op = ops_++;
    if (mode_ == FaultMode::kNone || op != fail_at_) return true;
    if (mode_ == FaultMode::kCrash) dead_ = true;
    return false;
  }
  uint64_t Total() const {
    uint64_t t = 0;
    for (const auto& [p, n] : files_) t += n->data.size();
    return t;
  }

  std::map<std::string, std::shared_ptr<Node>> files_;
  FaultMode mode_ = FaultMode::kNone;
  size_t fail_at_ = 0;
  size_t ops_ = 0;
  size_t writes_ = 0;
  bool dead_ = false;
  std::optional<uint64_t> quota_;
  std::string lock_after_create_;
};

class FakeSetupSource : public SetupEntrySource {
 public:
  struct Entry {
    std::string name;
    uint16_t group = 1;
    std::vector<uint8_t> data;
    bool readable = true;
  };
  size_t Add(std::string name, std::vector<uint8_t> data, uint16_t group = 1) {
    entries.push_back({std::move(name), group, std::move(data), true});
    return entries.size() - 1;
  }
  size_t Add(std::string name, std::string_view text, uint16_t group = 1) {
    return Add(std::move(name), std::vector<uint8_t>(text.begin(), text.end()), group);
  }

  std::vector<size_t> GroupEntries(uint16_t group) override {
    std::vector<size_t> out;
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].group == group) out.push_back(i);
    return out;
  }
  std::string EntryName(size_t index) override { return entries[index].name; }
  uint32_t EntryOrigSize(size_t index) override { return static_cast<uint32_t>(entries[index].data.size()); }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index) override {
    ++loads;
    if (!entries[index].readable || entries[index].data.empty()) return std::nullopt;
    return entries[index].data;
  }

  std::vector<Entry> entries;
  size_t loads = 0;
};

class RecordingProgress : public PackageProgress {
 public:
  void SetStatusText(int number, std::span<const TextMacro> macros) override {
    std::string line = std::to_string(number);
    for (const auto& m : macros) line += " " + std::string(m.Name) + "=" + m.Value;
    status.push_back(line);
  }
  void StepGauge(bool show) override { steps.push_back(show); }

  std::vector<std::string> status;
  std::vector<bool> steps;
};

}  // namespace ferry::test
