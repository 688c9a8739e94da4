// "writeregstr_url PROTOCOL ICON PROGRAM [ARGUMENTS...]": register a URL
// protocol under HKCR.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/install_log/registry_record.h"

namespace ferry {

namespace {

void WriteDefault(SetupContext& ctx, const CommandRun& run, const std::string& key, const std::string& valueName,
                  const std::string& data) {
  if (run.System->WriteRegistryString(kClassesRootIndex, key, valueName, data) != RegistryWrite::kDone)
    ctx.Record.NotDone("writeregstr_url: HKCR\\" + key + " \"" + valueName + "\" could not be written");
}

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  const std::string& protocol = line.Param(1);
  const std::string iconKey = protocol + "\\DefaultIcon\\";
  const std::string commandKey = protocol + "\\shell\\open\\command\\";

  std::string command = "\"" + ctx.ExpandPathVars(line.Param(3)) + "\"";
  for (size_t i = 3; i < line.Params.size(); ++i) command += " \"" + line.Params[i] + "\"";

  WriteDefault(ctx, run, protocol, "", "URL:" + protocol + " Protocol");
  WriteDefault(ctx, run, protocol, "URL Protocol", "");
  WriteDefault(ctx, run, iconKey, "", ctx.ExpandPathVars(line.Param(2)));
  WriteDefault(ctx, run, commandKey, "", command);

  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", protocol, "", ""));
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", protocol, "URL Protocol", ""));
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", iconKey, "", ""));
  ctx.InstallLog.AddRegistryEntry(MakeRegistryRecord("HKCR", commandKey, "", ""));
}

}  // namespace

extern const CommandDescriptor kWriteRegStrUrlCommand;
const CommandDescriptor kWriteRegStrUrlCommand{.Keyword = "writeregstr_url", .IsSetting = false, .GroupKind = 0,
                                               .MinParams = 3, .PathParams = ParamBit(2) | ParamBit(3), .Run = Run};

}  // namespace ferry
