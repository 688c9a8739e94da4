#include "engine/commands/command_runtime_win.h"
#include "engine/commands/message_command.h"
#include "engine/setup_context.h"
#include "platform/win_text.h"

namespace ferry {

void TMessageCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  // Language references only: a message is text, not a path.
  ctx.Progress.SetStatusText(ctx.Languages.ResolveLangRefs(AnsiToU16(line->Param(1))));
}

}  // namespace ferry
