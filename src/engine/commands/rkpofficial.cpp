// "rkpofficial PACKAGE CODE FLAG": package archive operation. The access
// code travels enciphered.
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
    RunRkpOfficialCommand(system, ctx.SetupInfo.InstallDir, params);
  });
}

}  // namespace

extern const CommandDescriptor kRkpOfficialCommand;
const CommandDescriptor kRkpOfficialCommand{.Keyword = "rkpofficial", .IsSetting = false, .GroupKind = 0,
                                            .MinParams = 3, .MaxParams = 3, .EncipheredParams = ParamBit(2),
                                            .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry
