#include "engine/commands/command_runtime_win.h"
#include "engine/commands/writeregstr_url_command.h"
#include "engine/setup_context.h"
#include "formats/install_log/registry_record.h"
#include "platform/registry.h"

namespace ferry {

namespace {

constexpr int kClassesRoot = 2;

void WriteDefault(TSetupContext& ctx, const std::string& key, const std::string& valueName, const std::string& data) {
  RegKey k = RegKey::Open(kClassesRoot, key, true);
  if (!k.IsOpen() || !k.WriteString(valueName, data))
    ctx.Progress.Problem("writeregstr_url: HKCR\\" + key + " \"" + valueName + "\" could not be written");
}

}  // namespace

void TWriteRegStr_URLCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  const std::string& protocol = line->Param(1);
  const std::string iconKey = protocol + "\\DefaultIcon\\";
  const std::string commandKey = protocol + "\\shell\\open\\command\\";

  std::string command = "\"" + ctx.ExpandPathVars(line->Param(3)) + "\"";
  for (size_t i = 3; i < line->Params.size(); ++i) command += " \"" + line->Params[i] + "\"";

  WriteDefault(ctx, protocol, "", "URL:" + protocol + " Protocol");
  WriteDefault(ctx, protocol, "URL Protocol", "");
  WriteDefault(ctx, iconKey, "", ctx.ExpandPathVars(line->Param(2)));
  WriteDefault(ctx, commandKey, "", command);

  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", protocol, "", ""));
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", protocol, "URL Protocol", ""));
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", iconKey, "", ""));
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", commandKey, "", ""));
}

}  // namespace ferry
