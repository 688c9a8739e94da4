// Compile-time steps of "language" and "uninstalllanguage": the compiler
// adds the named language file to the archive; the line stays in the stream
// and does nothing at run time.
#include "engine/compile_context.h"
#include "engine/commands/language_command.h"
#include "engine/commands/uninstalllanguage_command.h"

namespace ferry {

namespace {

void AddLanguage(TCompileContext& ctx, int lineIndex, const char* entryPrefix) {
  const std::string& name = ctx.Line(lineIndex).Param(1);
  if (ctx.AddLanguageFile) ctx.AddLanguageFile(entryPrefix + name, name);
}

}  // namespace

void TLanguageCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (CheckParamCount(ctx, lineIndex)) AddLanguage(ctx, lineIndex, "LANGUAGE-");
}

void TUninstallLanguageCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  if (CheckParamCount(ctx, lineIndex)) AddLanguage(ctx, lineIndex, "UNINSTALL_LANGUAGE-");
}

}  // namespace ferry
