// Path variables of script parameters and the install log.
//
//   "$INSTDIR", "$INSTALLDIR"  the install directory as it stands at the time of use
//   "$SMPROGRAMS"              the Start menu Programs folder, with a trailing backslash
//   "$PROGRAMFILES"            the Program Files folder, with a trailing backslash
//   "$CDDRIVE"                 root of the first CD-ROM drive ("D:\") or empty
//
// Variable names match without regard to case. The folder values come from
// PathFolders, which start-up fills (a folder the shell does not give is
// "\"); the install directory is passed separately because the wizard and
// the registry change it while the setup runs.
#pragma once

#include <string>
#include <string_view>

namespace ferry {

struct PathFolders {
  std::string StartMenuProgramsDir;
  std::string ProgramFilesDir;
  std::string CdDrive;
};

// Replaces, in this order, "$INSTDIR" and "$INSTALLDIR" by installDir,
// "$SMPROGRAMS", "$PROGRAMFILES", "$CDDRIVE" by their folders, then every
// double backslash by one until none is left. Because the install directory
// goes first, a stored default such as "$PROGRAMFILES\Demo\" is expanded too.
// A folder value that names its own variable is substituted once.
std::string ExpandPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders);

// The reverse, for paths recorded in the install log: installDir by
// "$INSTDIR", then StartMenuProgramsDir by "$SMPROGRAMS", then
// ProgramFilesDir by "$PROGRAMFILES". An empty folder value folds nothing.
std::string FoldPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders);

}  // namespace ferry
