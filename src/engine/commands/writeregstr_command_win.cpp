#include "engine/commands/command_runtime_win.h"
#include "engine/commands/writeregstr_command.h"
#include "engine/setup_context.h"
#include "base/text_helpers.h"
#include "formats/install_log/registry_record.h"
#include "platform/registry.h"

namespace ferry {

void TWriteRegStrCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string& root = line->Param(1);
  const std::string& key = line->Param(2);
  const std::string& valueName = line->Param(3);
  const std::string& data = line->Param(4);
  RegKey k = RegKey::Open(RootKeyIndex(root), key, true);
  if (!k.IsOpen())
    ctx.Progress.Problem("writeregstr: the key " + root + "\\" + key + " could not be opened");
  else if (!k.WriteString(valueName, ctx.ExpandPathVars(data)))
    ctx.Progress.Problem("writeregstr: the value \"" + valueName + "\" of " + root + "\\" + key +
                         " could not be written");
  // Recorded even when the write failed: the uninstall passes over a value
  // that is not there.
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord(root, key, valueName, data));
}

}  // namespace ferry
