// The package system: updates the product's package archives in place
// (package_format.h has the layout). One package is open at a time; each
// command opens, changes and saves its package in one go.
//
// Call sequence of a command:
//   OpenPackage(path)        Retry/Cancel box until the file opens; puts back
//                            a package whose last update was interrupted;
//                            LoadDirectory; checks every entry
//                            (CheckPackageArchive, once a run) and refuses
//                            a damaged one
//   BeginChanges()           the command's own checks have passed: the old
//                            tail goes to the side file and the file is cut
//   AddFromSetup(...)*       appends new and changed entries
//   SavePackage()            directory, header and an "RKP3"/"EIH2" trailer
//                            with fresh key parameters; side file removed
// Any failure between BeginChanges and the end of SavePackage puts the old
// tail back (Abandon), so the package is exactly as it was.
//
// Every error (corrupted header, wrong password, a write that failed, a
// package that does not open and is not tried again) unwinds the operation
// with a SetupError whose text says what failed; what that means for the run
// is the caller's to decide. A package that does not open is offered to the
// host again (Host.RetryOpen) for as long as it asks.
//
// A finished update whose side file cannot be deleted stays finished: the
// side file is marked so that it is never put back, and Host.Warning says so.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/package/package_format.h"
#include "formats/package/package_storage.h"
#include "base/setup_error.h"

namespace ferry {

// The seven letters that "rkpofficial" must be given.
extern const std::string_view kPackageAccessCode;

// The setup archive as the package system reads it.
class SetupEntrySource {
 public:
  virtual ~SetupEntrySource() = default;
  // Entry indexes of the group, in directory order.
  virtual std::vector<size_t> GroupEntries(uint16_t group) = 0;
  virtual std::string EntryName(size_t index) = 0;
  virtual uint32_t EntryOrigSize(size_t index) = 0;
  // The unpacked bytes; none when the entry cannot be read.
  virtual std::optional<std::vector<uint8_t>> LoadEntry(size_t index) = 0;
};

struct TextMacro {
  std::string_view Name;  // "<%RKPNAME%>"
  std::string Value;      // 8-bit, system code page
};

// The patching page's status label and gauge.
class PackageProgress {
 public:
  virtual ~PackageProgress() = default;
  // Language text `number` of the current language with the macros replaced
  // in the order given.
  virtual void SetStatusText(int number, std::span<const TextMacro> macros) = 0;
  virtual void StepGauge(bool show) = 0;
};

struct PackageUpdaterHost {
  FileSystem* Files = nullptr;  // required
  PackageProgress* Progress = nullptr;
  // The package at `path` does not open (`why` in the words of the
  // Retry/Cancel box): true to try again. None: not tried again.
  std::function<bool(const std::string& path, const std::string& why)> RetryOpen;
  // Something the user should hear of that does not stop the command.
  std::function<void(const std::string& text)> Warning;
  // A key parameter from 2 to 6; default: a generator seeded from the system's random source.
  std::function<uint8_t()> RandomKeyParam;
  // DOS date of today at 00:00:00; default: the local date.
  std::function<uint32_t()> Today;
  // Packages (paths folded to lower case) whose every entry a command of
  // this run checked already: after that check a package is what the run
  // made of it. None: every open checks.
  std::set<std::string>* Checked = nullptr;
};

// What the last command did, for logs and tests.
struct PackageUpdateStats {
  size_t Written = 0;    // entries whose data was appended
  size_t Unchanged = 0;  // entries found identical
  size_t Skipped = 0;    // sound files that were rejected
  uint64_t BytesWritten = 0;
  TailRecovery Recovery = TailRecovery::kNone;
  // The saved trailer's key parameters.
  uint8_t KeyParam1 = 0;
  uint8_t KeyParam2 = 0;
  // The update finished but its side file could not be deleted.
  bool SideFileLeft = false;
};

class PackageUpdater {
 public:
  explicit PackageUpdater(PackageUpdaterHost host);
  ~PackageUpdater();
  PackageUpdater(const PackageUpdater&) = delete;
  PackageUpdater& operator=(const PackageUpdater&) = delete;

  // ---- The three commands -----------------------------------------------

  // "rkpupdate": the group's entries into installDir\packageFile.
  void UpdatePackage(SetupEntrySource& setup, uint16_t group, const std::string& installDir,
                     const std::string& packageFile, const std::string& password);
  // "rkpofficial": nothing at all unless the access code is right.
  void SetOfficial(const std::string& installDir, const std::string& packageFile, const std::string& accessCode,
                   const std::string& flagText);
  // "duplicateentry": newName shares existingName's data. An existing
  // newName keeps its own data.
  void DuplicateEntry(const std::string& installDir, const std::string& packageFile, const std::string& existingName,
                      const std::string& newName);

  // ---- Steps ------------------------------------------------------------

  void OpenPackage(const std::string& path);
  void LoadDirectory();
  // Keeps the old tail in the side file and cuts the file. Refuses (before
  // writing anything) a password the trailer could not hold.
  void BeginChanges();
  // Adds or replaces one entry; false when nothing was written (unchanged,
  // or a sound file that was rejected).
  bool AddFromSetup(SetupEntrySource& setup, size_t index);
  void SavePackage();
  // Puts the old tail back and closes the package. True when the package is
  // again as it was (or was never cut); false when putting it back failed and
  // the side file is left for the next open.
  bool Abandon();
  void Close();

  // ---- State ------------------------------------------------------------

  bool IsOpen() const { return file_ != nullptr; }
  PackageExtraInfo& ExtraInfo() { return info_; }
  const std::string& PackageName() const { return package_name_; }
  const std::string& Path() const { return path_; }
  // Live records in directory order.
  std::vector<PackageEntry> Entries() const;
  const PackageEntry* FindEntry(std::string_view name) const;
  uint64_t CutPosition() const { return cut_; }
  uint64_t AppendPosition() const { return append_; }
  const PackageTrailer& LastTrailer() const { return trailer_; }
  const PackageUpdateStats& Stats() const { return stats_; }

 private:
  [[noreturn]] void Fatal(const std::string& text);
  void RunGuarded(const std::function<void()>& work);
  std::optional<std::vector<uint8_t>> BuildStored(SetupEntrySource& setup, size_t index, uint8_t& kind);
  void Write(uint64_t offset, std::span<const uint8_t> bytes);
  void FlushFile();
  void AddRecord(PackageEntry e);
  uint8_t KeyParam();
  void Warn(const std::string& text);
  void ShowStatus(int number, std::vector<TextMacro> macros);

  PackageUpdaterHost host_;
  std::unique_ptr<RandomAccessFile> file_;
  std::string path_;
  std::string package_name_;
  PackageExtraInfo info_;
  PackageTrailer trailer_;
  // Directory order; replaced records stay as holes until the save.
  std::vector<std::optional<PackageEntry>> table_;
  std::unordered_map<std::string, size_t> index_;  // lower-cased name -> first live record
  uint64_t cut_ = 0;
  uint64_t append_ = 0;
  uint64_t old_length_ = 0;
  bool cut_done_ = false;
  PackageTailBackup backup_;
  PackageUpdateStats stats_;
  std::function<uint8_t()> random_;
};

// The flag text of "rkpofficial": "t" or "true" in any letter case, or "1".
bool IsOfficialFlag(std::string_view flagText);

}  // namespace ferry
