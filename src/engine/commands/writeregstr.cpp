// "writeregstr ROOT KEY NAME DATA": write a registry string value.
#include "base/text_helpers.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/install_log/registry_record.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  const std::string& root = line.Param(1);
  const std::string& key = line.Param(2);
  const std::string& valueName = line.Param(3);
  const std::string& data = line.Param(4);
  switch (run.System->WriteRegistryString(RootKeyIndex(root), key, valueName, ctx.ExpandPathVars(data))) {
    case RegistryWrite::kDone: break;
    case RegistryWrite::kKeyNotOpened:
      ctx.Record.NotDone("writeregstr: the key " + root + "\\" + key + " could not be opened");
      break;
    case RegistryWrite::kValueNotWritten:
      ctx.Record.NotDone("writeregstr: the value \"" + valueName + "\" of " + root + "\\" + key +
                           " could not be written");
      break;
  }
  // Recorded even when the write failed: the uninstall passes over a value
  // that is not there.
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord(root, key, valueName, data));
}

}  // namespace

extern const CommandDescriptor kWriteRegStrCommand;
const CommandDescriptor kWriteRegStrCommand{.Keyword = "writeregstr", .IsSetting = false, .GroupKind = 0,
                                            .MinParams = 4, .MaxParams = 4, .PathParams = ParamBit(4),
                                            .RootParams = ParamBit(1), .Run = Run};

}  // namespace ferry
