// Start-up of the stub: from the command line to the hand-over to the wizard.
//
// The sequence is portable: everything it needs from Windows
// comes through StartupEnvironment, the verification window through
// VerifyView, messages through Dialogs and error reports through
// ErrorReporter. startup_win.cpp provides the Windows implementations;
// tests provide their own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/random_access_file.h"
#include "engine/path_vars.h"
#include "engine/stub_command_line.h"

namespace ferry {

class Dialogs;
class PakReader;
struct SetupContext;

// ---- What start-up needs from outside -------------------------------------

class StartupEnvironment {
 public:
  virtual ~StartupEnvironment() = default;
  virtual uint16_t DefaultLangId() = 0;
  // Paths that can name any folder (wide on Windows).
  virtual NativePath OwnProgramPath() = 0;
  virtual bool FileExists(const NativePath& path) = 0;
  // A file read-only, shared with everyone (the archive, an uninstaller's
  // install log); nullptr when it cannot be opened.
  virtual std::unique_ptr<RandomAccessFile> OpenArchive(const NativePath& path) = 0;
  virtual std::string FindCdDrive() = 0;        // may throw SetupError
  virtual std::string ProgramsDir() = 0;        // trailing backslash, "\" when none
  virtual std::string ProgramFilesDir() = 0;    // trailing backslash, "\" when none
  virtual std::string SystemFolderDir(SystemFolder folder) = 0;  // the same
  // The string value of a registry key: none when the key does not open,
  // empty when the value is missing.
  virtual std::optional<std::string> ReadRegistryString(int root, const std::string& key,
                                                        const std::string& valueName) = 0;
  virtual std::optional<uint64_t> FreeDiskBytes(const std::string& root) = 0;
  // The process runs with administrator rights (an elevated token).
  virtual bool IsElevated() { return true; }
};

// The "Verifying Contents" window, or what stands for it.
class VerifyView {
 public:
  virtual ~VerifyView() = default;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetProgress(uint32_t position, uint32_t maximum) = 0;
  // Shows the changes at once.
  virtual void Refresh() = 0;
  // Keeps the window up (and painting) for `milliseconds`, then closes it.
  virtual void HoldAndClose(uint32_t milliseconds) = 0;
};

class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  // stage: the error type; empty for none.
  virtual void Report(std::string_view errorText, std::string_view stage) = 0;
};

// ---- The sequence ---------------------------------------------------------

// Fixed texts of start-up.
inline constexpr std::string_view kMsgInvalidHeader = "Invalid Setup Header. No Contents or Corrupted Contents.";
inline constexpr std::string_view kMsgSetupInfoMissing = "Error: Setup Information Missing. Setup is corrupt";
inline constexpr std::string_view kMsgInstallLogMissing = "Error: install log is missing";
inline constexpr std::string_view kMsgCompiledLinesMissing = "Error: Compiled Lines Missing. Setup is corrupt";
inline constexpr std::string_view kMsgRegistryKeyNotFound = "Error: Registry Key Not Found. Please Install Software";
inline constexpr std::string_view kCaptionError = "Error";
inline constexpr std::string_view kCaptionVerificationError = "Verification Error";
inline constexpr std::string_view kCaptionSetupError = "Setup Error";
inline constexpr std::string_view kCaptionSetup = "Setup";
inline constexpr uint32_t kVerifyHoldMs = 500;

std::string VerificationFailedMessage(size_t index, std::string_view name);
// An entry that unpacked to `length` bytes instead of its OrigSize.
std::string DecompSizeMessage(std::string_view name, uint64_t length, uint32_t origSize);
std::string RenamedSetupMessage(std::string_view expected, std::string_view found);
std::string VerifyStatusText(size_t done, size_t count);
// The side file of a signed uninstaller is missing or holds no uninstaller's record.
std::string InstallInfoMissingMessage(std::string_view sideFile);
// The file-name part of a path ("\" or "/" separated).
std::string FileNamePart(std::string_view path);
// Whether the own file name passes the check: both names' file parts,
// lower-cased, through MatchesSetupName.
bool OwnNameMatches(std::string_view ownPath, std::string_view setupExeName);
// Bytes the install needs: payload entries of the groups that GroupKinds
// knows; an extracting group (kind 0) counts OrigSize, an updating group its
// CompSize, an entry stored uncompressed its OrigSize.
uint64_t PayloadSpace(const PakReader& pak, const std::vector<uint8_t>& groupKinds);

// A scope switch that contradicts where the product is installed: names
// where it is and what to do.
std::string ScopeContradictsMessage(std::string_view title, bool installedForUser);
// The install folder for a run for the user: a default below the program
// files folder ("$PROGRAMFILES", "$PROGRAMFILES32", "$PROGRAMFILES64") moves
// below "$USERPROGRAMFILES"; any other folder stays.
std::string UserInstallDir(std::string_view installDir);

// State of start-up that later stages read.
struct StartupState {
  std::unique_ptr<PakReader> Pak;  // the one open archive (SetupContext::Pak points here)
  NativePath ArchivePath;
  NativePath OwnPath;
  bool ArchiveFromArgument = false;
  uint16_t SystemLangId = 0;
  std::vector<uint8_t> GroupKinds;  // one per payload group number; [0] = 0
  // The run installs (or uninstalls) for the machine, and the process lacks
  // the rights: the app starts it again elevated (elevated_run.h).
  bool NeedsElevation = false;

  StartupState();
  ~StartupState();
  StartupState(StartupState&&) noexcept;
  StartupState& operator=(StartupState&&) noexcept;
};

struct StartupServices {
  StartupEnvironment& Env;
  Dialogs& Dialog;
  VerifyView& View;
  ErrorReporter& Reporter;
};

// Start-up from the archive's header to the install folder, with both guards
// (a failure shown to the user, an error reported). True: hand over to the
// wizard; false: the failure was shown or reported and is in ctx.Record
// (kRefused).
bool RunStartup(SetupContext& ctx, const StubOptions& options, StartupServices services,
                              StartupState& state);

}  // namespace ferry
