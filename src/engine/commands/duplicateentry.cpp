// "duplicateentry PACKAGE FROM TO": duplicate an entry inside a product
// package archive.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/package_host.h"
#include "engine/setup_context.h"
#include "formats/package/package_commands.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  std::vector<std::string> params = line.Params;
  if (!params.empty()) params[0] = ctx.ExpandPathVars(params[0]);
  WithPackageSystem(ctx, run, [&](PackageUpdater& system, SetupEntrySource&) {
    RunDuplicateEntryCommand(system, ctx.SetupInfo.InstallDir, params);
  });
}

}  // namespace

extern const CommandDescriptor kDuplicateEntryCommand;
const CommandDescriptor kDuplicateEntryCommand{.Keyword = "duplicateentry", .IsSetting = false, .GroupKind = 0,
                                               .MinParams = 3, .MaxParams = 3, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry
