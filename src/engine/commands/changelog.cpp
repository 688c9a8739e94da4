// "changelog": a setting: ChangelogName, filled at compile time; the line does
// nothing at run time.
#include "engine/command_class.h"
#include "engine/compile_context.h"

namespace ferry {

namespace {

void Compile(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  CompileSetting(descriptor, ctx, lineIndex, [](SetupInfoRecord& info, const CompLine& l) {
    info.ChangelogName = l.Param(1);
  });
}

}  // namespace

extern const CommandDescriptor kChangelogCommand;
const CommandDescriptor kChangelogCommand{.Keyword = "changelog", .IsSetting = true, .GroupKind = 0, .MinParams = 1,
                                          .MaxParams = 1, .Compile = Compile};

}  // namespace ferry
