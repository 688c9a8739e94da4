#include "engine/files_in_use.h"

#include <cstring>

#include "base/path_text.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/command_class.h"
#include "engine/command_list.h"
#include "engine/commands/file_command.h"
#include "engine/setup_context.h"
#include "formats/pak/pak_reader.h"
#include "formats/vfs/vfs_format.h"

namespace ferry {

namespace {

const char* KeywordOf(const SetupContext& ctx, const CompLine& line) {
  const CommandClass* command = line.CommandNo > 0 ? ctx.Commands.Find(line.CommandNo) : nullptr;
  return command ? command->Descriptor().Keyword : "";
}

void AddFileLineTargets(SetupContext& ctx, System& system, const CompLine& line, std::vector<std::string>& out) {
  if (!ctx.Pak || line.Params.empty()) return;
  const int32_t group = StrToIntOrMinus1(line.Param(static_cast<int>(line.Params.size())));
  std::optional<std::string> folder = FileLineFolder(ctx, &system, line, false);
  if (!folder || group < 1 || group > 0xFFFF) return;
  for (const PakFile& e : ctx.Pak->Files())
    if (e.Group == group) out.push_back(WithSingleSeparators(JoinPath(*folder, e.Name)));
}

bool AtRestartPossible(const std::vector<HeldFile>& held, const RunTargets& targets) {
  for (const HeldFile& h : held)
    for (const std::string& archive : targets.Archives)
      if (EqualsNoCase(h.Path, archive)) return false;
  return true;
}

}  // namespace

RunTargets FilesTheRunChanges(SetupContext& ctx, System& system) {
  RunTargets targets;
  const std::string& folder = ctx.SetupInfo.InstallDir;
  for (const CompLine& line : ctx.CompLines.Lines) {
    const char* keyword = KeywordOf(ctx, line);
    const size_t count = line.Params.size();
    if (std::strcmp(keyword, "file") == 0) {
      AddFileLineTargets(ctx, system, line, targets.Replaced);
    } else if (std::strcmp(keyword, "delete") == 0 && count >= 1) {
      targets.Replaced.push_back(WithSingleSeparators(ctx.ExpandPathVars(line.Param(1))));
    } else if (std::strcmp(keyword, "copyfile") == 0 && count >= 2) {
      targets.Replaced.push_back(WithSingleSeparators(ctx.ExpandPathVars(line.Param(2))));
    } else if (std::strcmp(keyword, "rename") == 0 && count >= 2) {
      targets.Replaced.push_back(WithSingleSeparators(ctx.ExpandPathVars(line.Param(1))));
      targets.Replaced.push_back(WithSingleSeparators(ctx.ExpandPathVars(line.Param(2))));
    } else if (std::strcmp(keyword, "rkpupdate") == 0 && count >= 3) {
      targets.Archives.push_back(WithSingleSeparators(JoinPath(folder, ctx.ExpandPathVars(line.Param(3)))));
    } else if (std::strcmp(keyword, "vfsupdate") == 0 && count >= 3) {
      const std::string archive = WithSingleSeparators(JoinPath(folder, line.Param(2)));
      targets.Archives.push_back(archive);
      targets.Archives.push_back(HashFilePath(archive));
    }
  }
  return targets;
}

std::string InUseReason(const HeldFile& held) {
  if (held.Programs.empty()) return "it is in use by another program";
  std::string reason = "it is in use by ";
  for (size_t i = 0; i < held.Programs.size(); ++i) reason += (i == 0 ? "" : ", ") + held.Programs[i];
  return reason;
}

bool SettleHeldFiles(SetupContext& ctx, System& system, HeldFilesPrompt* prompt, std::set<std::string>* atRestart) {
  const RunTargets targets = FilesTheRunChanges(ctx, system);
  std::vector<std::string> paths = targets.Replaced;
  paths.insert(paths.end(), targets.Archives.begin(), targets.Archives.end());
  if (paths.empty()) return true;
  for (;;) {
    const std::vector<HeldFile> held = system.FindHeldFiles(paths);
    if (held.empty()) return true;
    const bool restartPossible = AtRestartPossible(held, targets);
    const HeldFilesAnswer answer = prompt ? prompt->Ask(held, restartPossible) : HeldFilesAnswer::kStop;
    if (answer == HeldFilesAnswer::kRetry) continue;
    if (answer == HeldFilesAnswer::kAtRestart && restartPossible) {
      for (const HeldFile& h : held) atRestart->insert(h.Path);
      return true;
    }
    // Named once each, then the run stops before its journal is made.
    const std::string advice = answer == HeldFilesAnswer::kAtRestart
                                   ? "; a product archive is written in place and cannot wait for a restart: "
                                     "close the program and run the setup again"
                                   : "; close the program and run the setup again";
    for (const HeldFile& h : held) ctx.Record.FileNotWritten(h.Path, InUseReason(h) + advice);
    if (answer == HeldFilesAnswer::kCancel) ctx.Record.Cancel("Files in use: the setup was cancelled.");
    else ctx.Record.Stop("Files in use: nothing was changed.");
    return false;
  }
}

}  // namespace ferry
