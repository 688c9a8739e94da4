// "message TEXT": show a text on the progress page.
#include <memory>

#include "base/setup_error.h"
#include "base/text.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/compile_context.h"
#include "engine/setup_context.h"
#include "formats/languages/languages.h"

namespace ferry {

namespace {

// The text's "<LANGn>" references are resolved when the line runs, where a
// malformed one ends the setup half done: it is refused here instead.
void Compile(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(descriptor, ctx, lineIndex)) return;
  LanguageList probe;
  probe.Languages.push_back(std::make_unique<LanguageTexts>());
  probe.Current = 0;
  try {
    probe.ResolveLangRefs(CodePageToUtf16(ctx.Line(lineIndex).Param(1)));
  } catch (const SetupError& e) {
    ctx.Error(lineIndex, std::string("message text: ") + e.what());
  }
}

void Run(SetupContext& ctx, const CommandRun&, CompLine& line, int) {
  // Language references only: a message is text, not a path.
  ctx.Progress.SetStatusText(ctx.Languages.ResolveLangRefs(CodePageToUtf16(line.Param(1))));
}

}  // namespace

extern const CommandDescriptor kMessageCommand;
const CommandDescriptor kMessageCommand{.Keyword = "message", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                        .MaxParams = 1, .Compile = Compile, .Run = Run};

}  // namespace ferry
