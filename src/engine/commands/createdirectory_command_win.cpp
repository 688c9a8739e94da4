#include "engine/commands/command_runtime_win.h"
#include "engine/commands/createdirectory_command.h"
#include "engine/setup_context.h"
#include "platform/files.h"

namespace ferry {

void TCreateDirectoryCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string folder = ctx.ExpandPathVars(line->Param(1));
  ForceDirectoriesLogged(folder, LogCreatedDirectory(ctx));
  // Logged again even when it was there already: an uninstall removes it
  // if it is empty by then.
  ctx.InstallLog.AddDirectory(folder);
}

}  // namespace ferry
