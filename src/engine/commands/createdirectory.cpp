// "createdirectory FOLDER": create a folder and log it for the uninstall.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  const std::string folder = ctx.ExpandPathVars(line.Param(1));
  CreateFoldersLogged(ctx, run.Files(), folder);
  // Logged again even when it was there already: an uninstall removes it
  // if it is empty by then.
  ctx.InstallLog.AddDirectory(folder);
}

}  // namespace

extern const CommandDescriptor kCreateDirectoryCommand;
const CommandDescriptor kCreateDirectoryCommand{.Keyword = "createdirectory", .IsSetting = false, .GroupKind = 0,
                                                .MinParams = 1, .MaxParams = 1, .PathParams = ParamBit(1),
                                                .Run = Run};

}  // namespace ferry
