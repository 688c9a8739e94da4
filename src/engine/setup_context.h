// The process-wide objects of the stub, in one object that the app owns and
// passes by reference (tests build their own). Created before start-up runs
// and alive until the program ends. The main thread leaves everything here
// alone while the setup thread runs, apart from the run flags.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "formats/install_log/uninstall_list.h"
#include "engine/command_list.h"
#include "formats/setup/comp_lines.h"
#include "formats/setup/product_info.h"
#include "engine/path_vars.h"
#include "engine/progress_sinks.h"
#include "engine/run_record.h"
#include "formats/setup/setup_info.h"
#include "formats/setup/text_macros.h"
#include "formats/languages/languages.h"

namespace ferry {

class Dialogs;
class FileSystem;
class PakReader;
class System;

struct SetupContext {
  // Binds the text macros to SetupInfo and the space texts, and the install
  // log's path folding to SetupInfo.InstallDir and Folders.
  SetupContext();
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;

  PakReader* Pak = nullptr;  // the setup archive, opened by start-up, owned by the app

  SetupInfoFile SetupInfo;
  // The setup's (or uninstaller's) "ProductInfo", read once by start-up:
  // the defaults when it has none, nullopt when it is damaged.
  std::optional<ProductInformation> Product = ProductInformation{};
  CompLineList CompLines;
  CommandList Commands;
  LanguageList Languages;
  TextMacroTable TextMacros;
  UninstallList InstallLog;
  PathFolders Folders;  // "$SMPROGRAMS", "$PROGRAMFILES", "$CDDRIVE"

  // Bytes the install needs and the free bytes of the install drive, with
  // their FormatByteSize texts ("<%SPACEREQ%>", "<%SPACEAVA%>"; the free
  // space text stays empty until computed).
  // The run installs for the user running it (HKEY_CURRENT_USER, the
  // user's folders), not for the machine; start-up decides from the
  // setup's scope and the command line.
  bool InstallForUser = false;
  // A "scope either" setup that start-up left undecided: the wizard's Scope
  // page picks (InstallForUser holds the choice shown first).
  bool ScopeChoiceOpen = false;

  uint64_t SpaceRequired = 0;
  std::string SpaceRequiredText;
  uint64_t SpaceAvailable = 0;
  std::string SpaceAvailableText;

  // Index of the line being run; a run starts it at -1 and jump commands
  // assign it. Touched by the setup thread alone while a run goes.
  int32_t CurrentLine = -1;

  // Message boxes of the commands run by the setup thread; none: no box.
  Dialogs* Dialog = nullptr;
  // The progress sinks of the run and the gauge step counter.
  RunProgress Progress;
  // What start-up, the run and the uninstall could not do; the outcome.
  RunRecord Record{Progress};
  // A run whose setup makes an uninstaller, through the run's system (its
  // journal, so an undone run takes both away or puts the earlier ones
  // back): before the first command, the uninstaller program and the
  // registration marked not finished; after the install log, the
  // registration marked finished. Failures go to Record.
  std::function<void(SetupContext&, System*, bool finished)> RegisterUninstall;

  std::atomic<uint8_t> StopRequested{0};

  // What a command keeps from one of its lines to the next in a run (the
  // archive a "vfsupdate" line left open), by keyword.
  std::map<std::string, std::shared_ptr<void>> CommandState;

  // Path variables with the live install directory and folders.
  std::string ExpandPathVars(std::string_view text) const;
  std::string FoldPathVars(std::string_view text) const;
};

// A path of the form "X:\a\...": the only form a setup creates folders for.
bool IsDriveFolderPath(std::string_view path);
// Creates the missing folders of a path of the form "X:\a\b\..." on `files`
// and records each one in the install log; other forms (relative, network)
// create nothing.
void CreateFoldersLogged(SetupContext& ctx, FileSystem& files, const std::string& folder);

}  // namespace ferry
