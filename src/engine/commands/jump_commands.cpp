// Compile-time steps of the commands that jump: their label parameters
// become the decimal index of the label's line.
#include "engine/compile_context.h"
#include "engine/commands/goto_command.h"
#include "engine/commands/iffileexists_command.h"
#include "engine/commands/messagebox_command.h"

namespace ferry {

namespace {

// For "iffileexists" and "messagebox" a target "0" means no jump (-1).
void ResolveJump(TCompileContext& ctx, int lineIndex, int paramNo, bool zeroMeansNone) {
  TCompLine& line = ctx.Line(lineIndex);
  const std::string label = line.Param(paramNo);
  if (zeroMeansNone && label == "0") {
    line.SetParam(paramNo, "-1");
    return;
  }
  int target = ctx.FindLabel(label);
  if (target < 0) {
    ctx.Error(lineIndex, "Label not found - " + label);
    return;
  }
  line.SetParam(paramNo, std::to_string(target));
}

}  // namespace

void TGotoCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(ctx, lineIndex)) return;
  ResolveJump(ctx, lineIndex, 1, false);
}

void TIfFileExistsCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(ctx, lineIndex)) return;
  ResolveJump(ctx, lineIndex, 2, true);
  ResolveJump(ctx, lineIndex, 3, true);
}

void TMessageBoxCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(ctx, lineIndex)) return;
  ResolveJump(ctx, lineIndex, 3, true);
  ResolveJump(ctx, lineIndex, 4, true);
}

}  // namespace ferry
