// Path variables of script parameters and the install log.
//
//   "$INSTDIR", "$INSTALLDIR"  the install directory as it stands at the time of use
//   "$SMPROGRAMS"              the Start menu Programs folder, with a trailing backslash
//   "$PROGRAMFILES"            the Program Files folder, with a trailing backslash
//   "$CDDRIVE"                 root of the first CD-ROM drive ("D:\") or empty
//   "$DESKTOP" ... "$TEMP"     the system folders of kSystemFolderVars, with a
//                              trailing backslash ("$USERPROGRAMFILES": the
//                              user's own programs folder, for installs
//                              without administrator rights)
//   "$$"                       one "$"
//
// Variable names match without regard to case. The folder values come from
// PathFolders, which start-up fills (a folder the shell does not give is
// "\"); the install directory is passed separately because the wizard and
// the registry change it while the setup runs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// Folders start-up asks the system for, by their place in PathFolders::System.
enum class SystemFolder : unsigned char {
  kDesktop, kCommonDesktop, kCommonPrograms, kAppData, kLocalAppData, kCommonAppData,
  kCommonFiles, kProgramFiles32, kProgramFiles64, kWindows, kSystem, kTemp, kUserProgramFiles,
};
inline constexpr size_t kSystemFolderCount = 13;

struct SystemFolderVar {
  std::string_view Name;
  SystemFolder Folder;
};

inline constexpr SystemFolderVar kSystemFolderVars[kSystemFolderCount] = {
    {"$DESKTOP", SystemFolder::kDesktop},           {"$COMMONDESKTOP", SystemFolder::kCommonDesktop},
    {"$COMMONPROGRAMS", SystemFolder::kCommonPrograms}, {"$APPDATA", SystemFolder::kAppData},
    {"$LOCALAPPDATA", SystemFolder::kLocalAppData}, {"$COMMONAPPDATA", SystemFolder::kCommonAppData},
    {"$COMMONFILES", SystemFolder::kCommonFiles},   {"$PROGRAMFILES32", SystemFolder::kProgramFiles32},
    {"$PROGRAMFILES64", SystemFolder::kProgramFiles64}, {"$WINDIR", SystemFolder::kWindows},
    {"$SYSDIR", SystemFolder::kSystem},             {"$TEMP", SystemFolder::kTemp},
    {"$USERPROGRAMFILES", SystemFolder::kUserProgramFiles},
};

struct PathFolders {
  std::string StartMenuProgramsDir;
  std::string ProgramFilesDir;
  std::string CdDrive;
  std::array<std::string, kSystemFolderCount> System;  // indexed by SystemFolder
};

// Every variable's name with its "$", upper case; for the compiler's checks.
std::vector<std::string_view> PathVarNames();
// The length of the longest variable name that text starts with (ASCII case
// ignored); 0 when none does.
size_t MatchPathVar(std::string_view text);

// Splits the text at each "$$", which stands for one "$". In each piece
// replaces, in this order, "$INSTDIR" and "$INSTALLDIR" by installDir,
// "$SMPROGRAMS", the system folders' variables, "$PROGRAMFILES" and
// "$CDDRIVE" by their folders; then every double backslash by one until
// none is left. Because the install directory goes first, a stored default
// such as "$PROGRAMFILES\Demo\" is expanded too; the longer names go before
// "$PROGRAMFILES", which other text may follow ("$PROGRAMFILESShared").
// A folder value that names its own variable is substituted once.
std::string ExpandPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders);

// The reverse, for paths recorded in the install log: installDir by
// "$INSTDIR", then StartMenuProgramsDir by "$SMPROGRAMS", then
// ProgramFilesDir by "$PROGRAMFILES" (a backslash kept where "32" or "64"
// follows, which would read as a longer name). An empty folder value folds
// nothing.
std::string FoldPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders);

}  // namespace ferry
