#include "formats/pak/pak_file.h"
#include "base/dialogs.h"
#include "engine/commands/command_runtime_win.h"
#include "engine/commands/vfsupdate_command.h"
#include "engine/setup_context.h"
#include "base/text_replace.h"
#include "platform/win_text.h"
#include "base/file_system.h"
#include "formats/vfs/vfs_update.h"

namespace ferry {

// The setup archive, the language texts and the patching page, as the VFS
// update session sees them.
struct TVFSUpdateCommand::Runtime : VfsEntrySource, VfsUpdateUi {
  explicit Runtime(TSetupContext& c)
      : ctx(c), session(DiskFileSystem(), *this, *this, c.Dialog ? *c.Dialog : noBoxes, c.SetupAborted) {}

  std::vector<VfsGroupEntry> GroupEntries(uint32_t group) override {
    std::vector<VfsGroupEntry> out;
    if (!ctx.Pak || group > 0xFFFF) return out;
    ctx.Pak->ForEachInGroup(static_cast<uint16_t>(group), [&](size_t index) {
      if (const TPakFile* e = ctx.Pak->Entry(index)) out.push_back({index, e->Name, e->OrigSize});
    });
    return out;
  }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index) override {
    return ctx.Pak ? ctx.Pak->LoadEntry(index) : std::nullopt;
  }
  std::u16string Text(int id, std::span<const VfsTextMacro> macros) override {
    std::u16string text = ctx.Languages.GetText(id);
    for (const auto& m : macros) text = ReplaceAll(text, AnsiToU16(m.Name), m.Value);
    return text;
  }
  void SetStatusText(const std::u16string& text) override { ctx.Progress.SetStatusText(text); }
  void SetMessageText(const std::u16string& text) override { ctx.Progress.SetMessageText(text, true); }
  void StepGauge(bool counted) override { ctx.Progress.StepGauge(counted); }

  TSetupContext& ctx;
  RecordingDialogs noBoxes;
  VfsUpdateSession session;
};

void TVFSUpdateCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  const TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  if (!runtime_ || &runtime_->ctx != &ctx) runtime_ = std::make_shared<Runtime>(ctx);
  runtime_->session.Run(line->Params, ctx.SetupInfo.InstallDir);
  // An archive left open waits for a later "vfsupdate" line; with none left
  // in the stream it is flushed and closed now, not abandoned.
  if (!runtime_->session.HasOpenArchive()) return;
  const auto& lines = ctx.CompLines.Lines;
  for (size_t i = static_cast<size_t>(lineIndex) + 1; i < lines.size(); ++i)
    if (lines[i].CommandNo == line->CommandNo) return;
  runtime_->session.Finish();
}

void TVFSUpdateCommand::EndOfRun(TSetupContext& ctx) {
  if (runtime_ && &runtime_->ctx == &ctx && runtime_->session.HasOpenArchive()) runtime_->session.Finish();
}

}  // namespace ferry
