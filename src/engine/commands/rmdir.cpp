// "rmdir FOLDER ...": delete a folder tree.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/path_safety.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  const std::string folder = ctx.ExpandPathVars(line.Param(1));
  // An empty or relative path (an unset $INSTDIR, say) would name the
  // current drive or folder, and a drive root or a ".." step more than the
  // script meant: such a tree is not cleared.
  if (!IsBelowDriveRoot(folder)) {
    ctx.Record.NotDone("rmdir: \"" + folder + "\" is not a folder below a drive root; nothing was removed");
    return;
  }
  // What stays (in use, protected) fails the run like a file not written.
  for (const std::string& path : ClearFolderTree(run.Files(), folder))
    ctx.Record.FileNotWritten(path, "it could not be removed");
}

}  // namespace

extern const CommandDescriptor kRMDirCommand;
const CommandDescriptor kRMDirCommand{.Keyword = "rmdir", .IsSetting = false, .GroupKind = 0, .MinParams = 2,
                                      .MaxParams = 2, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry
