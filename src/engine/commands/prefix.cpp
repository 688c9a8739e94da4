// "prefix": a setting: UninstallPrefix and UninstallExeName, filled at compile time; the line does
// nothing at run time.
#include "engine/command_class.h"
#include "engine/compile_context.h"

namespace ferry {

namespace {

void Compile(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  CompileSetting(descriptor, ctx, lineIndex, [](SetupInfoRecord& info, const CompLine& l) {
    info.UninstallPrefix = l.Param(1) + "_";
    info.UninstallExeName = l.Param(1) + "_Uninstall.exe";
  });
}

}  // namespace

extern const CommandDescriptor kPrefixCommand;
const CommandDescriptor kPrefixCommand{.Keyword = "prefix", .IsSetting = true, .GroupKind = 0, .MinParams = 1,
                                       .MaxParams = 1, .Compile = Compile};

}  // namespace ferry
