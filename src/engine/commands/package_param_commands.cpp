// Compile-time steps of "rkpupdate" and "rkpofficial": the package password
// or access code (parameter 2) travels enciphered in the stream, and the
// run-time deciphers it before use.
#include "formats/pak/digit_key.h"
#include "formats/package/package_commands.h"
#include "engine/commands/rkpofficial_command.h"
#include "engine/commands/rkpupdate_command.h"
#include "engine/compile_context.h"

namespace ferry {

namespace {

void EncipherSecondParam(TCompileContext& ctx, int lineIndex) {
  TCompLine& line = ctx.Line(lineIndex);
  line.SetParam(2, DigitKeyEncode(kCommandParamKey, line.Param(2)));
}

}  // namespace

void TRKPUpdateCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(ctx, lineIndex)) return;
  // A password the package trailer cannot hold would make the package unreadable.
  std::string problem = CheckPackagePassword(ctx.Line(lineIndex).Param(2));
  if (!problem.empty()) {
    ctx.Error(lineIndex, problem);
    return;
  }
  EncipherSecondParam(ctx, lineIndex);
  TCommandClass::CompileProcess(ctx, lineIndex);  // the group number, last
}

void TRKPOfficialCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (CheckParamCount(ctx, lineIndex)) EncipherSecondParam(ctx, lineIndex);
}

}  // namespace ferry
