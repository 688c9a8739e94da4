#include "engine/commands/command_runtime_win.h"
#include "engine/commands/iffileexists_command.h"
#include "engine/setup_context.h"
#include "base/text_helpers.h"
#include "platform/files.h"

namespace ferry {

void TIfFileExistsCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const int32_t ifThere = StrToIntOrMinus1(line->Param(2));
  const int32_t ifNot = StrToIntOrMinus1(line->Param(3));
  const std::string path = ctx.ExpandPathVars(ResolveCdDrivePath(line->Param(1)));
  // A folder at the path counts as no file.
  if (FileExists(path)) {
    if (ifThere >= 0) ctx.CurrentLine = ifThere;
  } else if (ifNot >= 0) {
    ctx.CurrentLine = ifNot;
  }
}

}  // namespace ferry
