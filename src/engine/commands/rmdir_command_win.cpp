#include "engine/commands/command_runtime_win.h"
#include "engine/commands/rmdir_command.h"
#include "engine/path_safety.h"
#include "engine/setup_context.h"

namespace ferry {

void TRMDirCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string folder = ctx.ExpandPathVars(line->Param(1));
  // An empty or relative path (an unset $INSTDIR, say) would name the
  // current drive or folder, and a drive root or a ".." step more than the
  // script meant: such a tree is not cleared.
  if (!IsBelowDriveRoot(folder)) {
    ctx.Progress.Problem("rmdir: \"" + folder + "\" is not a folder below a drive root; nothing was removed");
    return;
  }
  ClearFolderTree(folder);
}

}  // namespace ferry
