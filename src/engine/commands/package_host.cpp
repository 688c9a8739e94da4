#include "engine/commands/package_host.h"

#include "base/dialogs.h"
#include "base/file_system.h"
#include "base/text.h"
#include "base/text_replace.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/pak/pak_reader.h"

namespace ferry {

namespace {

class PatchingPage : public PackageProgress {
 public:
  explicit PatchingPage(SetupContext& ctx) : ctx_(ctx) {}
  void SetStatusText(int number, std::span<const TextMacro> macros) override {
    std::u16string text = ctx_.Languages.GetText(number);
    for (const auto& m : macros) text = ReplaceAll(text, CodePageToUtf16(m.Name), CodePageToUtf16(m.Value));
    ctx_.Progress.SetStatusText(text);
  }
  void StepGauge(bool show) override { ctx_.Progress.StepGauge(show); }

 private:
  SetupContext& ctx_;
};

class SetupArchiveGroup : public SetupEntrySource {
 public:
  explicit SetupArchiveGroup(PakReader* pak) : pak_(pak) {}
  std::vector<size_t> GroupEntries(uint16_t group) override {
    std::vector<size_t> out;
    if (pak_) pak_->ForEachInGroup(group, [&](size_t i) { out.push_back(i); });
    return out;
  }
  std::string EntryName(size_t index) override {
    const TPakFile* e = pak_ ? pak_->Entry(index) : nullptr;
    return e ? e->Name : std::string();
  }
  uint32_t EntryOrigSize(size_t index) override {
    const TPakFile* e = pak_ ? pak_->Entry(index) : nullptr;
    return e ? e->OrigSize : 0;
  }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index) override {
    return pak_ ? pak_->LoadEntry(index) : std::nullopt;
  }

 private:
  PakReader* pak_;
};

}  // namespace

void WithPackageSystem(SetupContext& ctx, const CommandRun& run,
                       const std::function<void(TPakSystem&, SetupEntrySource&)>& work) {
  if (!run.System) return;
  System& system = *run.System;
  PatchingPage page(ctx);
  SetupArchiveGroup group(ctx.Pak);
  PakSystemHost host;
  host.Files = &system.Files();
  host.Boxes = ctx.Dialog;
  host.Progress = &page;
  // A silent run answers the boxes itself: its fatal errors go to its log
  // and end it with exit code 1, and Cancel of the Retry box is one of them.
  host.Unattended = ctx.Dialog && ctx.Dialog->AnswersItself();
  host.FatalExit = [&ctx, &system, unattended = host.Unattended](const std::string& text) {
    if (!unattended) ctx.Progress.Problem(text);
    system.FatalExit(text, ctx.Dialog);
  };
  host.ExitProcess = [&system](int code) { system.ExitProcess(code); };
  // A box with OK: the run goes on (a silent run logs "Warning: ...").
  host.Warning = [&ctx](const std::string& text) {
    if (ctx.Dialog) ctx.Dialog->Show(text, "Warning", DialogButtons::kOk, DialogIcon::kWarning);
    else ctx.Progress.Problem(text);
  };
  TPakSystem pakSystem(host);
  work(pakSystem, group);
}

}  // namespace ferry
