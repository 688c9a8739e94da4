#include "formats/package/package_commands.h"
#include "engine/commands/command_runtime_win.h"
#include "engine/commands/rkp_package_host_win.h"
#include "engine/commands/rkpupdate_command.h"
#include "engine/setup_context.h"

namespace ferry {

void TRKPUpdateCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  std::vector<std::string> params = line->Params;
  if (params.size() >= 3) params[2] = ctx.ExpandPathVars(params[2]);
  WithPackageSystem(ctx, [&](TPakSystem& system, SetupEntrySource& setup) {
    RunRkpUpdateCommand(system, setup, ctx.SetupInfo.InstallDir, params);
  });
}

}  // namespace ferry
