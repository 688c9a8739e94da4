#include "engine/command_class.h"

#include "engine/compile_context.h"
#include "formats/pak/digit_key.h"
#include "engine/setup_context.h"

namespace ferry {

namespace {

std::string Parameters(int n) { return std::to_string(n) + (n == 1 ? " parameter" : " parameters"); }

// A label parameter becomes the decimal index of the label's line.
void ResolveJump(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex, int paramNo) {
  CompLine& line = ctx.Line(lineIndex);
  const std::string label = line.Param(paramNo);
  if (descriptor.ZeroMeansNoJump && label == "0") {
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

bool CheckParamCount(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  const CompLine& line = ctx.Line(lineIndex);
  const std::string keyword = "\"" + std::string(descriptor.Keyword) + "\"";
  const std::string found = ", found " + std::to_string(line.ParamCount);
  if (line.ParamCount < descriptor.MinParams) {
    ctx.Error(lineIndex, keyword + " needs at least " + Parameters(descriptor.MinParams) + found);
    return false;
  }
  if (descriptor.MaxParams >= 0 && line.ParamCount > descriptor.MaxParams) {
    ctx.Error(lineIndex, keyword + " takes at most " + Parameters(descriptor.MaxParams) + found);
    return false;
  }
  return true;
}

void CompileCommandLine(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(descriptor, ctx, lineIndex)) return;
  CompLine& line = ctx.Line(lineIndex);
  for (int p = 1; p < 16; ++p) {
    if (descriptor.JumpParams & ParamBit(p)) ResolveJump(descriptor, ctx, lineIndex, p);
    // The run-time deciphers it before use.
    if (descriptor.EncipheredParams & ParamBit(p)) line.SetParam(p, DigitKeyEncode(kCommandParamKey, line.Param(p)));
  }
  // The compiler adds the named language file to the archive; the line
  // stays in the stream and does nothing at run time.
  if (descriptor.LanguageEntryPrefix && ctx.AddLanguageFile)
    ctx.AddLanguageFile(descriptor.LanguageEntryPrefix + line.Param(1), line.Param(1));
  // The run-time recomputes the same numbers from the order of these lines.
  if (descriptor.GroupKind != 0) ctx.Line(lineIndex).AddParam(std::to_string(ctx.NextGroup++));
}

void CompileSetting(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex,
                    void (*set)(SetupInfoRecord& info, const CompLine& line)) {
  if (!CheckParamCount(descriptor, ctx, lineIndex)) return;
  CompLine& line = ctx.Line(lineIndex);
  set(ctx.Info, line);
  line.MakeInert();
}

CommandClass::CommandClass(const CommandDescriptor& descriptor)
    : Keyword(descriptor.Keyword), IsSetting(descriptor.IsSetting), MinParams(descriptor.MinParams), descriptor_(descriptor) {}

CommandClass::CommandClass(const char* keyword, bool isSetting, uint8_t groupKind, int minParams)
    : CommandClass(CommandDescriptor{keyword, isSetting, groupKind, minParams}) {}

void CommandClass::CompileProcess(CompileContext& ctx, int lineIndex) {
  (descriptor_.Compile ? descriptor_.Compile : CompileCommandLine)(descriptor_, ctx, lineIndex);
}

void CommandClass::SFXProcess(SetupContext& ctx, const CommandRun& run, int lineIndex) {
  if (!descriptor_.Run || lineIndex < 0 || static_cast<size_t>(lineIndex) >= ctx.CompLines.Count()) return;
  descriptor_.Run(ctx, run, ctx.CompLines.Lines[static_cast<size_t>(lineIndex)], lineIndex);
}

void CommandClass::EndOfRun(SetupContext& ctx) {
  if (descriptor_.End) descriptor_.End(ctx);
}

}  // namespace ferry
