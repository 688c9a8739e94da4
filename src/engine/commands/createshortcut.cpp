// "createshortcut LINK TARGET ARGUMENTS [ICON]": create a shortcut file.
#include "base/path_text.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

// The target's folder as a working folder: no trailing backslash, except
// for a drive root ("C:\").
std::string WorkingFolderOf(const std::string& target) {
  std::string folder = FolderOf(target);
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  ShellLink link;
  link.LinkPath = ctx.ExpandPathVars(line.Param(1));
  link.Target = ctx.ExpandPathVars(line.Param(2));
  link.Arguments = ctx.ExpandPathVars(line.Param(3));
  link.WorkingDirectory = WorkingFolderOf(link.Target);
  // Without its own icon a shortcut shows the target's.
  std::string icon = line.Params.size() >= 4 ? ctx.ExpandPathVars(line.Param(4)) : link.Target;
  if (icon != link.Target) link.IconPath = icon;

  CreateFoldersLogged(ctx, run.Files(), FolderOf(link.LinkPath));
  if (!run.System->CreateShellLink(link))
    ctx.Record.NotDone("createshortcut: " + link.LinkPath + " could not be created");
  ctx.InstallLog.AddFile(link.LinkPath);
}

}  // namespace

extern const CommandDescriptor kCreateShortCutCommand;
const CommandDescriptor kCreateShortCutCommand{.Keyword = "createshortcut", .IsSetting = false, .GroupKind = 0,
                                               .MinParams = 3, .MaxParams = 4,
                                               .PathParams = ParamBit(1) | ParamBit(2) | ParamBit(3) | ParamBit(4),
                                               .Run = Run};

}  // namespace ferry
