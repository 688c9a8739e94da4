#include "formats/install_log/uninstall_list.h"
#include "base/file_system.h"
#include "engine/commands/command_runtime_win.h"
#include "engine/commands/uninstalllogsave_command.h"
#include "engine/setup_context.h"

namespace ferry {

void TUninstallLogSaveCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string folder = ctx.ExpandPathVars(line->Param(1));
  const std::string prefix = line->Params.size() >= 2 ? line->Param(2) : std::string();
  if (!ctx.InstallLog.SaveToFile(DiskFileSystem(), folder, prefix))
    ctx.Progress.FileNotWritten(InstallLogPath(folder, prefix), "the install log could not be written");
}

}  // namespace ferry
