// "file FOLDER [SUBFOLDER [ROOT KEY NAME VALUE NEGATE]] GROUP": extract a
// payload group into the install folder or a subfolder of it, the long
// form only when a registry value matches.
#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "formats/pak/group_extractor.h"
#include "formats/pak/pak_reader.h"
#include "formats/install_log/uninstall_list.h"
#include "base/file_system.h"
#include "base/scope_guard.h"
#include "base/dialogs.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/commands/file_command.h"
#include "formats/pak/delta_codec.h"
#include "engine/path_safety.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "base/text_helpers.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {

constexpr char kParamCountMessage[] = "TFileCommand.SFXProcess - Param Count Invalid!!!";

// Folders that extraction created, recorded as CreateFoldersLogged
// records them: one backslash between names and one at the end.
std::string FolderForLog(const std::string& dir) {
  std::string out;
  for (char c : dir) {
    if (c == '\\' && out.size() > 1 && out.back() == '\\') continue;
    out += c;
  }
  return IncludeTrailingBackslash(out);
}

// The status line while a large entry is copied: "name - <copied> / <size>".
std::string CopyingText(const std::string& name, uint64_t copied, uint64_t size) {
  return name + " - " + FormatByteSize(copied) + " / " + FormatByteSize(size);
}

ExtractEvents ExtractionEvents(SetupContext& ctx) {
  ExtractEvents events;
  auto status = [&ctx](const std::string& fileText) {
    ctx.Progress.SetStatusText(TextWithFileName(ctx, kTextExtractingFile, fileText));
  };
  events.EntryStarted = status;
  events.Copying = [status](const std::string& name, uint64_t copied, uint64_t size) {
    status(CopyingText(name, copied, size));
  };
  // The last file's line stays: an "Extracting" without a name says nothing.
  // The step rides with the next file's status text: one hand-over a file.
  events.EntryDone = [&ctx] { ctx.Progress.DeferGaugeStep(); };
  // The log holds at most 65,535 files; past that an uninstall would leave
  // files behind, which is said once per line.
  auto logFull = std::make_shared<bool>(false);
  events.FileWritten = [&ctx, logFull](const std::string& path) {
    if (ctx.InstallLog.AddFile(path) || *logFull || ctx.InstallLog.Files().size() < UninstallList::kMaxEntries)
      return;
    *logFull = true;
    ctx.Record.NotDone("The install log is full: " + path +
                         " and the files after it are not recorded for the uninstaller");
  };
  events.DirectoryCreated = [&ctx](const std::string& dir) { ctx.InstallLog.AddDirectory(FolderForLog(dir)); };
  events.NameRefused = [&ctx](const std::string& name) {
    ctx.Record.FileNotWritten(name, "the entry's name leads out of the target folder");
  };
  events.FileNotWritten = [&ctx](const std::string& path, const std::string& reason) {
    ctx.Record.FileNotWritten(path, reason);
  };
  return events;
}

void ExtractPayload(SetupContext& ctx, const CommandRun& run, const std::string& folder, const std::string& groupText) {
  int32_t group = StrToIntOrMinus1(groupText);
  if (!ctx.Pak || group < 1 || group > 0xFFFF) return;
  ScopeGuard flush([&ctx] { ctx.Progress.FlushGauge(); });
  GroupExtractor(*ctx.Pak, run.Files(), ExtractionEvents(ctx), run.Deltas)
      .Extract(folder, static_cast<uint16_t>(group));
}

// Target of the three- and eight-parameter forms: a subfolder of the
// install directory, which a script may not use to climb out of it.
bool SubfolderTarget(SetupContext& ctx, const std::string& subfolder, std::string& folder, bool report) {
  if (!StaysBelow(subfolder)) {
    if (report) ctx.Record.FileNotWritten(subfolder, "the target folder leads out of the install directory");
    return false;
  }
  folder = IncludeTrailingBackslash(ctx.SetupInfo.InstallDir) + IncludeTrailingBackslash(subfolder);
  return true;
}

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  const int count = static_cast<int>(line.Params.size());
  if (count != 1 && count != 2 && count != 3 && count != 8) {
    ctx.Record.Report(FailureEffect::kNotDone, kParamCountMessage, "Error", DialogIcon::kNone);
    return;
  }
  if (std::optional<std::string> folder = FileLineFolder(ctx, run.System, line, true))
    ExtractPayload(ctx, run, *folder, line.Param(count));
}

// The installed file of each delta entry of `group`, checked against its base.
void CheckGroupBases(SetupContext& ctx, FileSystem& files, const std::string& folder, uint16_t group,
                     DeltaPlan& plan, bool& sound) {
  const std::vector<PakFile>& entries = ctx.Pak->Files();
  for (size_t i = 0; i < entries.size(); ++i) {
    const PakFile& e = entries[i];
    if (e.Group != group || e.Kind != kEntryDelta || StepFor(e) != ExtractStep::kPatch) continue;
    const std::string path = IncludeTrailingBackslash(folder) + e.Name;
    std::optional<DeltaHeader> header = ReadDeltaHeader(*ctx.Pak->File(), ctx.Pak->ArchiveEnd(), e, nullptr);
    std::unique_ptr<RandomAccessFile> base = files.Open(path, FileMode::kRead);
    const uint64_t size = base ? base->Size() : 0;
    std::optional<Sha256Digest> hash = base && header ? HashFile(*base) : std::nullopt;
    if (hash && size == header->BaseSize && *hash == header->BaseHash) continue;
    if (hash && size == header->ResultSize && *hash == header->ResultHash) {
      plan.AlreadyMade.insert(i);  // a run patched it before
      continue;
    }
    const bool twin = i + 1 < entries.size() && entries[i + 1].Kind == kEntryWholeFallback &&
                      entries[i + 1].Group == group && entries[i + 1].Name == e.Name;
    if (twin) {
      plan.WholeInstead.insert(i);
      continue;
    }
    sound = false;
    ctx.Record.FileNotWritten(path, base ? "it is not the file this patch was made for (changed since it was installed?)"
                                         : "the file this patch changes is missing");
  }
}

}  // namespace

std::optional<std::string> FileLineFolder(SetupContext& ctx, System* system, const CompLine& line, bool report) {
  const int count = static_cast<int>(line.Params.size());
  std::string folder;
  switch (count) {
    case 1:
    case 2:
      return ctx.SetupInfo.InstallDir;
    case 3:
      if (!SubfolderTarget(ctx, line.Param(2), folder, report)) return std::nullopt;
      return folder;
    case 8:
      if (!system ||
          !RegistryCondition(*system, line.Param(3), line.Param(4), line.Param(5), line.Param(6), line.Param(7)))
        return std::nullopt;
      if (!SubfolderTarget(ctx, line.Param(2), folder, report)) return std::nullopt;
      return folder;
    default:
      return std::nullopt;
  }
}

bool CheckDeltaBases(SetupContext& ctx, System& system, DeltaPlan& plan) {
  if (!ctx.Pak || !ctx.Pak->File()) return true;
  const std::vector<PakFile>& entries = ctx.Pak->Files();
  if (std::none_of(entries.begin(), entries.end(), [](const PakFile& e) { return e.Kind == kEntryDelta; }))
    return true;
  bool sound = true;
  for (const CompLine& line : ctx.CompLines.Lines) {
    CommandClass* command = line.CommandNo > 0 ? ctx.Commands.Find(line.CommandNo) : nullptr;
    if (!command || command->Descriptor().Run != &Run || line.Params.empty()) continue;
    const int32_t group = StrToIntOrMinus1(line.Param(static_cast<int>(line.Params.size())));
    std::optional<std::string> folder = FileLineFolder(ctx, &system, line, false);
    if (!folder || group < 1 || group > 0xFFFF) continue;
    CheckGroupBases(ctx, system.Files(), *folder, static_cast<uint16_t>(group), plan, sound);
  }
  return sound;
}

extern const CommandDescriptor kFileCommand;
const CommandDescriptor kFileCommand{.Keyword = "file", .IsSetting = false, .GroupKind = 1, .MinParams = 1,
                                     .MaxParams = 7, .SubfolderParams = ParamBit(2), .RootParams = ParamBit(3),
                                     .Run = Run};

}  // namespace ferry
