#include "engine/commands/command_runtime_win.h"
#include "base/file_system.h"
#include "engine/commands/uninstalllogload_command.h"
#include "engine/setup_context.h"

namespace ferry {

void TUninstallLogLoadCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string folder = ctx.ExpandPathVars(line->Param(1));
  const std::string prefix = line->Params.size() >= 2 ? line->Param(2) : std::string();
  // A missing log keeps the lists as they are.
  ctx.InstallLog.LoadFromFile(DiskFileSystem(), folder, prefix);
}

}  // namespace ferry
