#include "engine/setup_context.h"

#include "base/file_system.h"
#include "base/text.h"

namespace ferry {

bool IsDriveFolderPath(std::string_view path) {
  return path.size() > 3 && IsDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

void CreateFoldersLogged(SetupContext& ctx, FileSystem& files, const std::string& folder) {
  if (!IsDriveFolderPath(folder)) return;
  ForceDirectories(files, folder, [&ctx](const std::string& dir) { ctx.InstallLog.AddDirectory(dir); });
}

SetupContext::SetupContext() {
  BindTextMacros(TextMacros, SetupInfo, SpaceRequiredText, SpaceAvailableText);
  InstallLog.SetPathFolder([this](std::string_view path) { return FoldPathVars(path); });
}

std::string SetupContext::ExpandPathVars(std::string_view text) const {
  return ferry::ExpandPathVars(text, SetupInfo.InstallDir, Folders);
}

std::string SetupContext::FoldPathVars(std::string_view text) const {
  return ferry::FoldPathVars(text, SetupInfo.InstallDir, Folders);
}

}  // namespace ferry
