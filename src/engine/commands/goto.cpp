// "goto": jump to a label; the compiler turns the label into a line index.
#include "base/text_helpers.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun&, CompLine& line, int) {
  const int32_t target = StrToIntOrMinus1(line.Param(1));
  if (target >= 0) ctx.CurrentLine = target;
}

}  // namespace

extern const CommandDescriptor kGotoCommand;
const CommandDescriptor kGotoCommand{.Keyword = "goto", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                     .MaxParams = 1, .JumpParams = ParamBit(1), .Run = Run};

}  // namespace ferry
