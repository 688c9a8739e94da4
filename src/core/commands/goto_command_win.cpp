#include "core/commands/command_runtime_win.h"
#include "core/commands/goto_command.h"
#include "core/setup_context.h"
#include "core/text_helpers.h"

namespace ferry {

void TGotoCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const int32_t target = StrToIntOrMinus1(line->Param(1));
  if (target >= 0) ctx.CurrentLine = target;
}

}  // namespace ferry
