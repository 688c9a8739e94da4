#include "engine/commands/command_runtime_win.h"
#include "engine/commands/goto_command.h"
#include "engine/setup_context.h"
#include "base/text_helpers.h"

namespace ferry {

void TGotoCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const int32_t target = StrToIntOrMinus1(line->Param(1));
  if (target >= 0) ctx.CurrentLine = target;
}

}  // namespace ferry
