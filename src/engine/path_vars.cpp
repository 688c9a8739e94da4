#include "engine/path_vars.h"

#include "base/text_replace.h"

namespace ferry {

std::string ExpandPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders) {
  std::string s = ReplaceAll(text, "$INSTDIR", installDir);
  s = ReplaceAll(s, "$INSTALLDIR", installDir);
  s = ReplaceAll(s, "$SMPROGRAMS", folders.StartMenuProgramsDir);
  s = ReplaceAll(s, "$PROGRAMFILES", folders.ProgramFilesDir);
  s = ReplaceAll(s, "$CDDRIVE", folders.CdDrive);
  // A folder value ending in a backslash meets the one written after the
  // variable; the rescan makes any run of backslashes one.
  return ReplaceAll(s, "\\\\", "\\");
}

std::string FoldPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders) {
  std::string s = ReplaceAll(text, installDir, "$INSTDIR");
  s = ReplaceAll(s, folders.StartMenuProgramsDir, "$SMPROGRAMS");
  return ReplaceAll(s, folders.ProgramFilesDir, "$PROGRAMFILES");
}

}  // namespace ferry
