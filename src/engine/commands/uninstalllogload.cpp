// "uninstalllogload FOLDER [PREFIX]": load an install log.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "formats/install_log/uninstall_list.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  const std::string folder = ctx.ExpandPathVars(line.Param(1));
  const std::string prefix = line.Params.size() >= 2 ? line.Param(2) : std::string();
  // A missing log keeps the lists as they are.
  ctx.InstallLog.LoadFromFile(run.Files(), folder, prefix);
}

}  // namespace

extern const CommandDescriptor kUninstallLogLoadCommand;
const CommandDescriptor kUninstallLogLoadCommand{.Keyword = "uninstalllogload", .IsSetting = false, .GroupKind = 0,
                                                 .MinParams = 1, .MaxParams = 2, .PathParams = ParamBit(1),
                                                 .Run = Run};

}  // namespace ferry
