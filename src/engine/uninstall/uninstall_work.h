// The uninstall work of an Uninstall page: the install log replayed.
//
//   1. N := files + directories + registry values; the status reads
//      "Status: 0 of N items remaining", the gauge 0 of N.
//   2. Files in recorded order, path variables expanded; a file is deleted
//      when it exists. A path that is not an absolute "X:\..." path, or that
//      holds a wildcard, is never handed to the system: it is reported and
//      passed over.
//   3. Directories in reverse recorded order (last created first), as
//      recorded; only an empty directory goes, so a folder holding a file
//      the user added stays, and so do its parents.
//   4. Registry values in recorded order: the named value is deleted; the
//      key then goes too when it is left with no value and no subkey, and
//      so do its parents along the recorded path while they are empty. A
//      record that does not split into its fields is reported and skipped.
//   5. The uninstall registration, then the install log.
// Each of steps 2 to 4 updates status and gauge from the item whose number
// reaches a hundredth of its list (ProgressDue): the files with an empty
// name in kTextProcessingFiles, the directories with kTextFolders, the
// registry values with kTextRegistryEntries; the gauge runs over the three lists in turn and ends at N.
//
// Before anything is deleted the log file itself is checked (CheckInstallLog):
// a damaged log stops the work with SetupError and nothing is removed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

class LanguageList;
class UninstallList;

// kTextProcessingFiles with "<%RKPNAME%>" := name, "<%FNUM%>" := number and
// "<%FTOTAL%>" := total (decimal), replaced in that order.
std::u16string FormatProgressText(const LanguageList& languages, std::u16string_view name, uint32_t number,
                                  uint32_t total);

// Whether item i of n updates the display: Trunc(i * 100 / n) > 0, that is
// from the item whose number reaches one hundredth of n. False for n = 0.
bool ProgressDue(uint32_t i, uint32_t n);

// "Status: 0 of <total> items remaining".
std::u16string UninstallStartText(uint32_t total);

// Why an install log read from disk cannot be trusted, or none when it is
// sound: every promised string present, nothing left over.
std::optional<std::string> CheckInstallLog(std::span<const uint8_t> bytes);

// What the work does to the system (Windows, or a test's stand-in).
class UninstallSystem {
 public:
  virtual ~UninstallSystem() = default;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DeleteOneFile(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool RemoveEmptyFolder(const std::string& path) = 0;
  // Deletes the value when the key opens (without creating it); then the
  // key and its parents along `key` while they are empty. False only when
  // the value was there and could not be deleted.
  virtual bool DeleteRegistryValue(int root, const std::string& key, const std::string& valueName) = 0;
  virtual void RemoveRegistration(const std::string& shortTitle) = 0;
  // The install log's bytes; none when it cannot be read (or SetupError
  // with the reason).
  virtual std::optional<std::vector<uint8_t>> ReadInstallLog() = 0;
  virtual bool DeleteInstallLog() = 0;
};

// Where the work shows its progress.
class UninstallView {
 public:
  virtual ~UninstallView() = default;
  virtual void SetStatusText(std::u16string_view text) = 0;
  virtual void SetGauge(int32_t position, int32_t maximum) = 0;
  // Something passed over or left behind (8-bit text, system code page).
  virtual void Problem(std::string_view text) = 0;
};

struct UninstallOutcome {
  uint32_t Total = 0;
  uint32_t FilesDeleted = 0;
  uint32_t DirectoriesRemoved = 0;
  uint32_t RegistryValuesDeleted = 0;
  uint32_t Skipped = 0;        // records refused as unsafe or malformed
  uint32_t NotRemoved = 0;     // files or values there that would not go
  uint32_t DirectoriesKept = 0;  // not empty (user files) or not removable
};

struct UninstallWorkArgs {
  const UninstallList& Log;
  const LanguageList& Languages;
  std::function<std::string(std::string_view)> ExpandPathVars;
  std::string ShortTitle;
};

UninstallOutcome RunUninstallWork(const UninstallWorkArgs& args, UninstallSystem& system, UninstallView& view);

}  // namespace ferry
