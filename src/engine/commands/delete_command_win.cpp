#include "engine/commands/command_runtime_win.h"
#include "engine/commands/delete_command.h"
#include "engine/setup_context.h"
#include "platform/files.h"

namespace ferry {

void TDeleteCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  line->SetParam(1, ctx.ExpandPathVars(line->Param(1)));
  if (FileExists(line->Param(1))) DeleteFileAt(line->Param(1));
}

}  // namespace ferry
