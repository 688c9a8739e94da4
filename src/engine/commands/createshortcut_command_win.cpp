#include "engine/commands/command_runtime_win.h"
#include "engine/commands/createshortcut_command.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace ferry {

namespace {

// The target's folder as a working folder: no trailing backslash, except
// for a drive root ("C:\").
std::string WorkingFolderOf(const std::string& target) {
  std::string folder = FolderOf(target);
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

}  // namespace

void TCreateShortCutCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  ShellLinkArgs link;
  link.LinkPath = ctx.ExpandPathVars(line->Param(1));
  link.Target = ctx.ExpandPathVars(line->Param(2));
  link.Arguments = ctx.ExpandPathVars(line->Param(3));
  link.WorkingDirectory = WorkingFolderOf(link.Target);
  // Without its own icon a shortcut shows the target's.
  std::string icon = line->Params.size() >= 4 ? ctx.ExpandPathVars(line->Param(4)) : link.Target;
  if (icon != link.Target) link.IconPath = icon;
  link.ShowCommand = SW_SHOWNORMAL;

  ForceDirectoriesLogged(FolderOf(link.LinkPath), LogCreatedDirectory(ctx));
  if (!CreateShellLink(link)) ctx.Progress.Problem("createshortcut: " + link.LinkPath + " could not be created");
  ctx.InstallLog.AddFile(link.LinkPath);
}

}  // namespace ferry
