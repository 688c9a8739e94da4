#include "base/dialogs.h"
#include "engine/commands/command_runtime_win.h"
#include "engine/commands/messagebox_command.h"
#include "engine/setup_context.h"
#include "base/text_helpers.h"

namespace ferry {

void TMessageBoxCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const int32_t onOk = StrToIntOrMinus1(line->Param(3));
  const int32_t onCancel = StrToIntOrMinus1(line->Param(4));
  // No answerer bound: the answer a silent run gives.
  DialogAnswer answer = DialogAnswer::kOk;
  if (ctx.Dialog)
    answer = ctx.Dialog->Show(ctx.ExpandPathVars(line->Param(1)), ctx.ExpandPathVars(line->Param(2)),
                              DialogButtons::kOkCancel, DialogIcon::kQuestion);
  // Line 0 means "no jump" (it can never be a label a jump needs); the run
  // goes on at the label line itself, which does nothing.
  if (answer == DialogAnswer::kOk) {
    if (onOk > 0) ctx.CurrentLine = onOk - 1;
  } else if (onCancel > 0) {
    ctx.CurrentLine = onCancel - 1;
  }
}

}  // namespace ferry
