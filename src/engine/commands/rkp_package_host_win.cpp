#include "engine/commands/rkp_package_host_win.h"

#include <windows.h>

#include <filesystem>

#include "formats/pak/pak_file.h"
#include "base/file_system.h"
#include "engine/setup_context.h"
#include "base/text_replace.h"
#include "platform/dialogs_win.h"
#include "platform/system.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

class PatchingPage : public PackageProgress {
 public:
  explicit PatchingPage(TSetupContext& ctx) : ctx_(ctx) {}
  void SetStatusText(int number, std::span<const TextMacro> macros) override {
    std::u16string text = ctx_.Languages.GetText(number);
    for (const auto& m : macros) text = ReplaceAll(text, AnsiToU16(m.Name), AnsiToU16(m.Value));
    ctx_.Progress.SetStatusText(text);
  }
  void StepGauge(bool show) override { ctx_.Progress.StepGauge(show); }

 private:
  TSetupContext& ctx_;
};

class SetupArchiveGroup : public SetupEntrySource {
 public:
  explicit SetupArchiveGroup(TPak* pak) : pak_(pak) {}
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
  TPak* pak_;
};

}  // namespace

void WithPackageSystem(TSetupContext& ctx, const std::function<void(TPakSystem&, SetupEntrySource&)>& work) {
  PatchingPage page(ctx);
  SetupArchiveGroup group(ctx.Pak);
  PakSystemHost host;
  host.Files = &DiskFileSystem();
  host.Boxes = ctx.Dialog;
  host.Progress = &page;
  // A silent run answers the boxes itself: its fatal errors go to its log
  // and end it with exit code 1, and Cancel of the Retry box is one of them.
  auto* silent = dynamic_cast<SilentDialogs*>(ctx.Dialog);
  host.Unattended = silent != nullptr;
  host.FatalExit = [&ctx, silent](const std::string& text) {
    if (silent) FatalExit(text, &silent->Log());
    ctx.Progress.Problem(text);
    FatalAppExitA(0, text.c_str());
  };
  host.ExitProcess = [](int code) { ::ExitProcess(static_cast<UINT>(code)); };
  // A box with OK: the run goes on (a silent run logs "Warning: ...").
  host.Warning = [&ctx](const std::string& text) {
    if (ctx.Dialog) ctx.Dialog->Show(text, "Warning", DialogButtons::kOk, DialogIcon::kWarning);
    else ctx.Progress.Problem(text);
  };
  TPakSystem system(host);
  work(system, group);
}

}  // namespace ferry
