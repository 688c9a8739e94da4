#include "engine/command_class.h"

#include "engine/compile_context.h"
#include "formats/pak/digit_key.h"
#include "engine/setup_context.h"

namespace ferry {

bool CheckParamCount(const CommandSpec& spec, CompileContext& ctx, int lineIndex) {
  const TCompLine& line = ctx.Line(lineIndex);
  if (line.ParamCount >= spec.MinParams) return true;
  ctx.Error(lineIndex, "\"" + std::string(spec.Keyword) + "\" needs at least " + std::to_string(spec.MinParams) +
                           (spec.MinParams == 1 ? " parameter" : " parameters") + ", found " +
                           std::to_string(line.ParamCount));
  return false;
}

namespace {

// A label parameter becomes the decimal index of the label's line.
void ResolveJump(const CommandSpec& spec, CompileContext& ctx, int lineIndex, int paramNo) {
  TCompLine& line = ctx.Line(lineIndex);
  const std::string label = line.Param(paramNo);
  if (spec.ZeroMeansNoJump && label == "0") {
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

void CompileCommandLine(const CommandSpec& spec, CompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(spec, ctx, lineIndex)) return;
  TCompLine& line = ctx.Line(lineIndex);
  for (int p = 1; p < 16; ++p) {
    if (spec.JumpParams & ParamBit(p)) ResolveJump(spec, ctx, lineIndex, p);
    // The run-time deciphers it before use.
    if (spec.EncipheredParams & ParamBit(p)) line.SetParam(p, DigitKeyEncode(kCommandParamKey, line.Param(p)));
  }
  // The compiler adds the named language file to the archive; the line
  // stays in the stream and does nothing at run time.
  if (spec.LanguageEntryPrefix && ctx.AddLanguageFile)
    ctx.AddLanguageFile(spec.LanguageEntryPrefix + line.Param(1), line.Param(1));
  // The run-time recomputes the same numbers from the order of these lines.
  if (spec.GroupKind != 0) ctx.Line(lineIndex).AddParam(std::to_string(ctx.NextGroup++));
}

void CompileSetting(const CommandSpec& spec, CompileContext& ctx, int lineIndex,
                    void (*set)(TSetupInfo& info, const TCompLine& line)) {
  if (!CheckParamCount(spec, ctx, lineIndex)) return;
  TCompLine& line = ctx.Line(lineIndex);
  set(ctx.Info, line);
  line.MakeInert();
}

TCommandClass::TCommandClass(const CommandSpec& spec)
    : Keyword(spec.Keyword), IsSetting(spec.IsSetting), MinParams(spec.MinParams), spec_(spec) {}

TCommandClass::TCommandClass(const char* keyword, bool isSetting, uint8_t groupKind, int minParams)
    : TCommandClass(CommandSpec{keyword, isSetting, groupKind, minParams}) {}

void TCommandClass::CompileProcess(CompileContext& ctx, int lineIndex) {
  (spec_.Compile ? spec_.Compile : CompileCommandLine)(spec_, ctx, lineIndex);
}

void TCommandClass::SFXProcess(SetupContext& ctx, int lineIndex) {
  if (!spec_.Run || lineIndex < 0 || static_cast<size_t>(lineIndex) >= ctx.CompLines.Count()) return;
  spec_.Run(ctx, ctx.CompLines.Lines[static_cast<size_t>(lineIndex)], lineIndex);
}

void TCommandClass::EndOfRun(SetupContext& ctx) {
  if (spec_.End) spec_.End(ctx);
}

}  // namespace ferry
