// Compile-time steps of the setting commands: they fill the setup
// information record and leave a line that does nothing at run time.
#include "engine/compile_context.h"
#include "engine/commands/changelog_command.h"
#include "engine/commands/installdir_command.h"
#include "engine/commands/installdirregkey_command.h"
#include "engine/commands/name_command.h"
#include "engine/commands/outfile_command.h"
#include "engine/commands/pages_command.h"
#include "engine/commands/prefix_command.h"
#include "engine/commands/shortname_command.h"
#include "engine/commands/uninstallpages_command.h"
#include "base/text_helpers.h"

namespace ferry {

namespace {

// Runs set(info, line) on a line with enough parameters, then makes it inert.
template <typename Set>
void CompileSetting(bool enough, TCompileContext& ctx, int lineIndex, Set set) {
  if (!enough) return;
  TCompLine& line = ctx.Line(lineIndex);
  set(ctx.Info, line);
  line.MakeInert();
}

}  // namespace

void TNameCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex, [](TSetupInfo& info, const TCompLine& l) {
    info.SetupTitle = l.Param(1);
    info.ShortTitle = l.Param(1);
  });
}

void TShortNameCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex,
                 [](TSetupInfo& info, const TCompLine& l) { info.ShortTitle = l.Param(1); });
}

void TOutFileCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex,
                 [](TSetupInfo& info, const TCompLine& l) { info.SetupExeName = l.Param(1); });
}

void TInstallDirCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex,
                 [](TSetupInfo& info, const TCompLine& l) { info.InstallDir = l.Param(1); });
}

void TInstallDirRegKeyCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex, [](TSetupInfo& info, const TCompLine& l) {
    info.InstallDirRegKey.RootKey = static_cast<uint8_t>(RootKeyIndex(l.Param(1)));
    info.InstallDirRegKey.Key = l.Param(2);
    info.InstallDirRegKey.ValueName = l.Param(3);
  });
}

void TChangelogCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex,
                 [](TSetupInfo& info, const TCompLine& l) { info.ChangelogName = l.Param(1); });
}

void TPagesCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex,
                 [](TSetupInfo& info, const TCompLine& l) { info.PageSet = l.Param(1); });
}

void TUninstallPagesCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex, [](TSetupInfo& info, const TCompLine& l) {
    info.UninstallPageSet = l.Param(1);
    info.MakeUninstaller = 1;
  });
}

void TUninstallPrefixCommand::CompileProcess(TCompileContext& ctx, int lineIndex) {
  CompileSetting(CheckParamCount(ctx, lineIndex), ctx, lineIndex, [](TSetupInfo& info, const TCompLine& l) {
    info.UninstallPrefix = l.Param(1) + "_";
    info.UninstallExeName = l.Param(1) + "_Uninstall.exe";
  });
}

}  // namespace ferry
