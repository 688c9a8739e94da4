// "vfsupdate ARCHIVE FOLDER ... GROUP": update a virtual-file-system
// archive from a payload group. An archive may stay open for the next
// "vfsupdate" line of the run.
#include <memory>

#include "base/dialogs.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "base/text_replace.h"
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "formats/languages/text_ids.h"
#include "formats/pak/pak_reader.h"
#include "formats/vfs/vfs_fs.h"
#include "formats/vfs/vfs_update.h"

namespace ferry {

namespace {

constexpr char kStateKey[] = "vfsupdate";

// The setup archive, the language texts and the patching page, as the VFS
// update session sees them.
struct Runtime : VfsEntrySource, VfsUpdateUi {
  Runtime(SetupContext& c, const CommandRun& run)
      : Ctx(c), Session(run.Files(), *this, *this) {}

  std::vector<VfsGroupEntry> GroupEntries(uint32_t group) override {
    std::vector<VfsGroupEntry> out;
    if (!Ctx.Pak || group > 0xFFFF) return out;
    Ctx.Pak->ForEachInGroup(static_cast<uint16_t>(group), [&](size_t index) {
      if (const PakFile* e = Ctx.Pak->Entry(index)) out.push_back({index, e->Name, e->OrigSize});
    });
    return out;
  }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index) override {
    return Ctx.Pak ? Ctx.Pak->LoadEntry(index) : std::nullopt;
  }
  std::u16string Text(int id, std::span<const VfsTextMacro> macros) override {
    std::u16string text = Ctx.Languages.GetText(id);
    for (const auto& m : macros) text = ReplaceAll(text, CodePageToUtf16(m.Name), m.Value);
    return text;
  }
  void SetStatusText(const std::u16string& text) override { Ctx.Progress.SetStatusText(text); }
  void StepGauge(bool counted) override { Ctx.Progress.StepGauge(counted); }

  SetupContext& Ctx;
  VfsUpdateSession Session;
};

Runtime* RuntimeOf(SetupContext& ctx) { return static_cast<Runtime*>(ctx.CommandState[kStateKey].get()); }

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int lineIndex) {
  std::shared_ptr<void>& slot = ctx.CommandState[kStateKey];
  if (!slot) slot = std::make_shared<Runtime>(ctx, run);
  Runtime& runtime = *static_cast<Runtime*>(slot.get());
  bool found = true;
  try {
    found = runtime.Session.Run(line.Params, ctx.SetupInfo.InstallDir);
  } catch (const SetupError& e) {
    // A damaged archive, one another program holds, one that cannot be
    // written: said plainly, and the run is undone.
    ctx.Record.Report(FailureEffect::kStopsRun, e.what(), "VFS Error", DialogIcon::kError);
    ctx.Progress.SetMessageText(ctx.Languages.GetText(kTextSetupFailed), true);
    return;
  }
  if (!found) {
    ctx.Record.Report(FailureEffect::kStopsRun, "Error: Unable to find <" + line.Param(2) + ">", "VFS Error",
                      DialogIcon::kNone);
    ctx.Progress.SetMessageText(ctx.Languages.GetText(kTextSetupFailed), true);
    return;
  }
  // An archive left open waits for a later "vfsupdate" line; with none left
  // in the stream it is flushed and closed now, not abandoned.
  if (!runtime.Session.HasOpenArchive()) return;
  const auto& lines = ctx.CompLines.Lines;
  for (size_t i = static_cast<size_t>(lineIndex) + 1; i < lines.size(); ++i)
    if (lines[i].CommandNo == line.CommandNo) return;
  runtime.Session.Finish();
}

// An archive still open (its later "vfsupdate" line was never run) is
// flushed: what was written stays, with its digest and hash table.
void End(SetupContext& ctx) {
  Runtime* runtime = RuntimeOf(ctx);
  if (runtime && runtime->Session.HasOpenArchive()) runtime->Session.Finish();
}

}  // namespace

extern const CommandDescriptor kVfsUpdateCommand;
const CommandDescriptor kVfsUpdateCommand{.Keyword = "vfsupdate", .IsSetting = false, .GroupKind = 2, .MinParams = 2,
                                          .MaxParams = 3, .Run = Run, .End = End};

}  // namespace ferry
