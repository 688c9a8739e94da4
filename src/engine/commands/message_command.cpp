#include "engine/commands/message_command.h"

#include <memory>

#include "base/setup_error.h"
#include "base/text.h"
#include "engine/compile_context.h"
#include "formats/languages/languages.h"

namespace ferry {

// The text's "<LANGn>" references are resolved when the line runs, where a
// malformed one ends the setup half done: it is refused here instead.
void TMessageCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (!CheckParamCount(ctx, lineIndex)) return;
  TLanguages probe;
  probe.Languages.push_back(std::make_unique<TLanguage>());
  probe.Current = 0;
  try {
    probe.ResolveLangRefs(CodePageToUtf16(ctx.Line(lineIndex).Param(1)));
  } catch (const SetupError& e) {
    ctx.Error(lineIndex, std::string("message text: ") + e.what());
  }
}

}  // namespace ferry
