#include "formats/package/package_commands.h"
#include "engine/commands/command_runtime_win.h"
#include "engine/commands/rkp_package_host_win.h"
#include "engine/commands/rkpofficial_command.h"
#include "engine/setup_context.h"

namespace ferry {

void TRKPOfficialCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  std::vector<std::string> params = line->Params;
  if (!params.empty()) params[0] = ctx.ExpandPathVars(params[0]);
  WithPackageSystem(ctx, [&](TPakSystem& system, SetupEntrySource&) {
    RunRkpOfficialCommand(system, ctx.SetupInfo.InstallDir, params);
  });
}

}  // namespace ferry
