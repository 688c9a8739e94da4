// The file system and system of a run with a journal: every change goes
// through them, and each is noted in the run's journal before it is made.
// A file about to be replaced or removed is moved aside under a "~ferry-"
// name in its folder (a rename: no copy), so the run can put it back; a
// folder to remove is only noted and goes when the run succeeds.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/file_system.h"
#include "engine/system.h"

namespace ferry {

class RunJournal;

class JournaledFileSystem : public FileSystem {
 public:
  JournaledFileSystem(FileSystem& inner, RunJournal& journal) : inner_(inner), journal_(journal) {}

  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override;
  bool FileExists(const std::string& path) override { return inner_.FileExists(path); }
  bool DirectoryExists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override { return inner_.IsReadOnly(path); }
  bool MakeWritable(const std::string& path) override { return inner_.MakeWritable(path); }
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  std::vector<FoundFile> FindFiles(const std::string& pattern) override;
  // One record a file, before its scratch file is created (pushed to the
  // disk when a file is there to be moved aside, at placing).
  std::unique_ptr<StagedFile> CreateStaged(const std::string& scratch, const std::string& target) override;
  // The same record; in a folder the run made (nothing there was the
  // product's) a file is written at its own name, since undoing the run
  // removes it whole or partial.
  std::unique_ptr<StagedFile> CreateStagedOrFresh(const std::string& scratch, const std::string& target) override;

  // Makes room for a new file at `path`: what is there is set aside, and
  // the new file is noted as created. False when the path cannot be freed.
  bool PrepareNewFile(const std::string& path);
  // A folder this run made (the journal's own included): nothing in it was
  // there before the run.
  void NoteFolderMade(const std::string& path);

  // Files running programs hold: a new file for one is written beside it
  // under a "~ferry-next-" name, and it and a removal or a rename of one are
  // left to the next restart (MovesAtRestart, from and to; to empty: removed).
  void SetHeldFiles(const std::set<std::string>& held);
  const std::vector<std::pair<std::string, std::string>>& MovesAtRestart() const { return at_restart_; }

 private:
  bool SetAside(const std::string& path);
  bool Held(const std::string& path) const;

  std::set<std::string> held_;  // folded by HeldKey
  std::vector<std::pair<std::string, std::string>> at_restart_;

  FileSystem& inner_;
  RunJournal& journal_;
  std::set<std::string> removed_folders_;  // noted, gone once the run succeeds
  std::set<std::string> updated_;          // files written in place, noted
  std::set<std::string> made_folders_;     // made by the run: their files are all new
};

class JournaledSystem : public System {
 public:
  JournaledSystem(System& inner, JournaledFileSystem& files, RunJournal& journal)
      : inner_(inner), files_(files), journal_(journal) {}

  FileSystem& Files() override { return files_; }
  std::string ResolveCdDrivePath(const std::string& path) override { return inner_.ResolveCdDrivePath(path); }
  std::optional<std::string> ReadRegistryString(int root, const std::string& key, const std::string& name) override {
    return inner_.ReadRegistryString(root, key, name);
  }
  RegistryWrite WriteRegistryString(int root, const std::string& key, const std::string& name,
                                    const std::string& value) override;
  RegistryWrite WriteRegistryDword(int root, const std::string& key, const std::string& name,
                                   uint32_t value) override;
  bool DeleteRegistryValue(int root, const std::string& key, const std::string& name) override;
  RegistryValueState QueryRegistryValue(int root, const std::string& key, const std::string& name) override {
    return inner_.QueryRegistryValue(root, key, name);
  }
  bool RestoreRegistryValue(int root, const std::string& key, const std::string& name,
                            const RegistryValueState& before) override {
    return inner_.RestoreRegistryValue(root, key, name, before);
  }
  bool CreateShellLink(const ShellLink& link) override;
  bool StartProgram(const std::string& file, const std::string& parameters,
                    std::unique_ptr<StartedProgram>* program) override {
    return inner_.StartProgram(file, parameters, program);
  }
  std::vector<HeldFile> FindHeldFiles(const std::vector<std::string>& paths) override {
    return inner_.FindHeldFiles(paths);
  }
  bool MoveAtRestart(const std::string& from, const std::string& to) override {
    return inner_.MoveAtRestart(from, to);
  }
  ProcessIdentity CurrentProcess() override { return inner_.CurrentProcess(); }
  bool IsProcessRunning(const ProcessIdentity& process) override { return inner_.IsProcessRunning(process); }
  bool ClaimInstallFolder(const std::string& folder) override { return inner_.ClaimInstallFolder(folder); }
  std::string WhyNotTrusted(const std::string& path) override { return inner_.WhyNotTrusted(path); }
  // The run is undone before the process ends.

 private:
  // Notes the value as it is now; false when the note could not be written.
  bool NoteRegistryValue(int root, const std::string& key, const std::string& name);

  System& inner_;
  JournaledFileSystem& files_;
  RunJournal& journal_;
};

}  // namespace ferry
