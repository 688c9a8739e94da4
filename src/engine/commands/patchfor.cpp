// "patchfor VERSION" or "patchfor FROM-TO": the installed versions a patch
// applies to. The line stays in the stream for the check before the run
// (engine/product_version.h); at its turn in the run it does nothing.
#include "engine/command_class.h"
#include "engine/compile_context.h"
#include "engine/product_version.h"

namespace ferry {

namespace {

void Compile(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(descriptor, ctx, lineIndex)) return;
  const std::string text = ctx.Line(lineIndex).Param(1);
  if (!ParseVersionRange(text))
    ctx.Error(lineIndex, "'patchfor' takes a version (1.1) or a range of two (1.0-1.1), not '" + text + "'");
}

}  // namespace

extern const CommandDescriptor kPatchForCommand;
const CommandDescriptor kPatchForCommand{.Keyword = "patchfor", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                         .MaxParams = 1, .Compile = Compile};

}  // namespace ferry
