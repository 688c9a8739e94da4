// The "vfsupdate" command: writes one group of the setup archive into a
// product VFS archive below the install directory.
//
// The command's state lives for the whole setup run (one archive may stay
// open from one command to the next). The setup's own objects come in
// through two narrow interfaces, so the command runs the same in the stub
// and in tests:
//   VfsEntrySource  the group's entries (setup archive)
//   VfsUpdateUi     language texts with macros, the progress sinks
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/vfs/vfs_archive.h"

namespace ferry {

class FileSystem;

struct VfsGroupEntry {
  size_t Index = 0;  // for LoadEntry
  std::string Name;  // path inside the VFS archive, "\" separated
  uint32_t OrigSize = 0;
};

class VfsEntrySource {
 public:
  virtual ~VfsEntrySource() = default;
  // The group's entries in directory order (their count is CountGroup).
  virtual std::vector<VfsGroupEntry> GroupEntries(uint32_t group) = 0;
  // The entry's data; nullopt when it cannot be read.
  virtual std::optional<std::vector<uint8_t>> LoadEntry(size_t index) = 0;
};

struct VfsTextMacro {
  std::string_view Name;  // "<%RKPNAME%>"
  std::u16string Value;
};

class VfsUpdateUi {
 public:
  virtual ~VfsUpdateUi() = default;
  // Language string `id` with the macros replaced.
  virtual std::u16string Text(int id, std::span<const VfsTextMacro> macros) = 0;
  virtual void SetStatusText(const std::u16string& text) = 0;
  // One more step; the gauge moves only when `counted`.
  virtual void StepGauge(bool counted) = 0;
};

class VfsUpdateSession {
 public:
  VfsUpdateSession(FileSystem& fs, VfsEntrySource& entries, VfsUpdateUi& ui);
  ~VfsUpdateSession();

  // One "vfsupdate" line: its parameters (1-based positions: source folder,
  // archive path, [close flag,] group) and the install directory.
  // An archive is checked (CheckVfsArchive) before the run first writes
  // into it: a damaged one is a SetupError naming it, nothing written.
  // An error leaves the archive as it was before the command's writes (and
  // closed), then propagates. False: the archive the line names is not in
  // the install directory; nothing was changed, and the run must stop.
  bool Run(const std::vector<std::string>& params, const std::string& installDir);
  // End of the command stream: an archive still open is flushed and closed.
  void Finish();

  bool HasOpenArchive() const { return archive_ != nullptr; }
  const std::string& ArchiveName() const { return archive_name_; }
  // The DOS date stamped on written entries (tests); today when 0.
  void SetToday(uint32_t dosDate) { today_ = dosDate; }

 private:
  void Status(int id, uint32_t done = 0, uint32_t total = 0);
  void CloseOpenArchive();

  FileSystem& fs_;
  VfsEntrySource& entries_;
  VfsUpdateUi& ui_;
  std::unique_ptr<VfsFile> archive_;
  std::string archive_name_;
  uint32_t files_done_ = 0;
  uint32_t files_total_ = 0;
  uint32_t last_percentage_ = 0;
  uint32_t today_ = 0;
  std::set<std::string> checked_;  // archives checked for damage, folded
};

}  // namespace ferry
