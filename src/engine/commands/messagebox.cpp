// "messagebox TEXT CAPTION ONOK ONCANCEL": ask OK/Cancel and jump; a label
// "0" is no jump.
#include "base/dialogs.h"
#include "base/text_helpers.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun&, CompLine& line, int) {
  const int32_t onOk = StrToIntOrMinus1(line.Param(3));
  const int32_t onCancel = StrToIntOrMinus1(line.Param(4));
  // No answerer bound: the answer a silent run gives.
  DialogAnswer answer = DialogAnswer::kOk;
  if (ctx.Dialog)
    answer = ctx.Dialog->Show(ctx.ExpandPathVars(line.Param(1)), ctx.ExpandPathVars(line.Param(2)),
                              DialogButtons::kOkCancel, DialogIcon::kQuestion);
  // Line 0 means "no jump" (it can never be a label a jump needs); the run
  // goes on at the label line itself, which does nothing.
  if (answer == DialogAnswer::kOk) {
    if (onOk > 0) ctx.CurrentLine = onOk - 1;
  } else if (onCancel > 0) {
    ctx.CurrentLine = onCancel - 1;
  }
}

}  // namespace

extern const CommandDescriptor kMessageBoxCommand;
const CommandDescriptor kMessageBoxCommand{.Keyword = "messagebox", .IsSetting = false, .GroupKind = 0,
                                           .MinParams = 4, .MaxParams = 4, .JumpParams = ParamBit(3) | ParamBit(4),
                                           .ZeroMeansNoJump = true, .NoJumpToFirstLine = true,
                                           .PathParams = ParamBit(1) | ParamBit(2), .Run = Run};

}  // namespace ferry
