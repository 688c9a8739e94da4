#include "engine/path_vars.h"

#include "base/text.h"
#include "base/text_replace.h"

namespace ferry {

namespace {

constexpr std::string_view kInstallFolderVars[] = {"$INSTDIR", "$INSTALLDIR"};

std::string ExpandVariables(std::string_view text, std::string_view installDir, const PathFolders& folders) {
  std::string s(text);
  for (std::string_view name : kInstallFolderVars) s = ReplaceAll(s, name, installDir);
  s = ReplaceAll(s, "$SMPROGRAMS", folders.StartMenuProgramsDir);
  for (const SystemFolderVar& v : kSystemFolderVars)
    s = ReplaceAll(s, v.Name, folders.System[static_cast<size_t>(v.Folder)]);
  s = ReplaceAll(s, "$PROGRAMFILES", folders.ProgramFilesDir);
  return ReplaceAll(s, "$CDDRIVE", folders.CdDrive);
}

}  // namespace

std::vector<std::string_view> PathVarNames() {
  std::vector<std::string_view> names(std::begin(kInstallFolderVars), std::end(kInstallFolderVars));
  for (std::string_view name : {"$SMPROGRAMS", "$PROGRAMFILES", "$CDDRIVE"}) names.push_back(name);
  for (const SystemFolderVar& v : kSystemFolderVars) names.push_back(v.Name);
  return names;
}

size_t MatchPathVar(std::string_view text) {
  size_t longest = 0;
  for (std::string_view name : PathVarNames())
    if (name.size() > longest && text.size() >= name.size() && EqualsNoCase(text.substr(0, name.size()), name))
      longest = name.size();
  return longest;
}

std::string ExpandPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders) {
  std::string s;
  size_t start = 0;
  for (size_t pos; (pos = text.find("$$", start)) != std::string_view::npos; start = pos + 2)
    s += ExpandVariables(text.substr(start, pos - start), installDir, folders) + "$";
  s += ExpandVariables(text.substr(start), installDir, folders);
  // A folder value ending in a backslash meets the one written after the
  // variable; the rescan makes any run of backslashes one.
  return ReplaceAll(s, "\\\\", "\\");
}

std::string FoldPathVars(std::string_view text, std::string_view installDir, const PathFolders& folders) {
  std::string s = ReplaceAll(text, installDir, "$INSTDIR");
  s = ReplaceAll(s, folders.StartMenuProgramsDir, "$SMPROGRAMS");
  s = ReplaceAll(s, folders.ProgramFilesDir, "$PROGRAMFILES");
  if (folders.ProgramFilesDir.empty()) return s;
  s = ReplaceAll(s, "$PROGRAMFILES32", "$PROGRAMFILES\\32");
  return ReplaceAll(s, "$PROGRAMFILES64", "$PROGRAMFILES\\64");
}

}  // namespace ferry
