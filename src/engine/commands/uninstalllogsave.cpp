// "uninstalllogsave FOLDER [PREFIX]": save the install log.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "formats/install_log/uninstall_list.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  const std::string folder = ctx.ExpandPathVars(line.Param(1));
  const std::string prefix = line.Params.size() >= 2 ? line.Param(2) : std::string();
  if (!ctx.InstallLog.SaveToFile(run.Files(), folder, prefix))
    ctx.Record.FileNotWritten(InstallLogPath(folder, prefix), "the install log could not be written");
}

}  // namespace

extern const CommandDescriptor kUninstallLogSaveCommand;
const CommandDescriptor kUninstallLogSaveCommand{.Keyword = "uninstalllogsave", .IsSetting = false, .GroupKind = 0,
                                                 .MinParams = 1, .MaxParams = 2, .PathParams = ParamBit(1),
                                                 .Run = Run};

}  // namespace ferry
