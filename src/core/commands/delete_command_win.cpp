#include "core/commands/command_runtime_win.h"
#include "core/commands/delete_command.h"
#include "core/setup_context.h"
#include "platform/files.h"

namespace ferry {

void TDeleteCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  line->SetParam(1, ctx.ExpandPathVars(line->Param(1)));
  if (FileExists(line->Param(1))) DeleteFileAt(line->Param(1));
}

}  // namespace ferry
