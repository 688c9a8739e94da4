#include "engine/command_class.h"

#include "engine/compile_context.h"

namespace ferry {

bool TCommandClass::CheckParamCount(TCompileContext& ctx, int lineIndex) const {
  const TCompLine& line = ctx.Line(lineIndex);
  if (line.ParamCount >= MinParams) return true;
  ctx.Error(lineIndex, "\"" + Keyword + "\" needs at least " + std::to_string(MinParams) +
                           (MinParams == 1 ? " parameter" : " parameters") + ", found " +
                           std::to_string(line.ParamCount));
  return false;
}

void TCommandClass::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(ctx, lineIndex)) return;
  // The run-time recomputes the same numbers from the order of these lines.
  if (GroupKind() != 0) ctx.Line(lineIndex).AddParam(std::to_string(ctx.NextGroup++));
}

}  // namespace ferry
