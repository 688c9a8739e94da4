// "rkpupdate SOURCE PASSWORD PACKAGE GROUP": update a product package
// archive from a payload group. The password travels enciphered.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/package_host.h"
#include "engine/compile_context.h"
#include "engine/setup_context.h"
#include "formats/package/package_commands.h"

namespace ferry {

namespace {

void Compile(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(descriptor, ctx, lineIndex)) return;
  // A password the package trailer cannot hold would make the package unreadable.
  std::string problem = CheckPackagePassword(ctx.Line(lineIndex).Param(2));
  if (!problem.empty()) {
    ctx.Error(lineIndex, problem);
    return;
  }
  CompileCommandLine(descriptor, ctx, lineIndex);
}

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  std::vector<std::string> params = line.Params;
  if (params.size() >= 3) params[2] = ctx.ExpandPathVars(params[2]);
  WithPackageSystem(ctx, run, [&](PackageUpdater& system, SetupEntrySource& setup) {
    RunRkpUpdateCommand(system, setup, ctx.SetupInfo.InstallDir, params);
  });
}

}  // namespace

extern const CommandDescriptor kRkpUpdateCommand;
const CommandDescriptor kRkpUpdateCommand{.Keyword = "rkpupdate", .IsSetting = false, .GroupKind = 2, .MinParams = 3,
                                          .MaxParams = 3, .EncipheredParams = ParamBit(2), .PathParams = ParamBit(3),
                                          .Compile = Compile, .Run = Run};

}  // namespace ferry
