// "installdirregkey": a setting: the InstallDirRegKey root, key and value name, filled at compile time; the line does
// nothing at run time.
#include "engine/command_class.h"
#include "engine/compile_context.h"
#include "base/text_helpers.h"

namespace ferry {

namespace {

void Compile(const CommandDescriptor& descriptor, CompileContext& ctx, int lineIndex) {
  CompileSetting(descriptor, ctx, lineIndex, [](SetupInfoRecord& info, const CompLine& l) {
    info.InstallDirRegKey.RootKey = static_cast<uint8_t>(RootKeyIndex(l.Param(1)));
    info.InstallDirRegKey.Key = l.Param(2);
    info.InstallDirRegKey.ValueName = l.Param(3);
  });
}

}  // namespace

extern const CommandDescriptor kInstallDirRegKeyCommand;
const CommandDescriptor kInstallDirRegKeyCommand{.Keyword = "installdirregkey", .IsSetting = true, .GroupKind = 0,
                                                 .MinParams = 3, .MaxParams = 3, .RootParams = ParamBit(1),
                                                 .Compile = Compile};

}  // namespace ferry
