#include "engine/commands/package_host.h"

#include <memory>
#include <set>

#include "base/dialogs.h"
#include "base/file_system.h"
#include "base/setup_error.h"
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
    const PakFile* e = pak_ ? pak_->Entry(index) : nullptr;
    return e ? e->Name : std::string();
  }
  uint32_t EntryOrigSize(size_t index) override {
    const PakFile* e = pak_ ? pak_->Entry(index) : nullptr;
    return e ? e->OrigSize : 0;
  }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t index) override {
    return pak_ ? pak_->LoadEntry(index) : std::nullopt;
  }

 private:
  PakReader* pak_;
};

// The caption of a package error's box, and of its line in a silent run's log.
constexpr char kPackageErrorCaption[] = "Fatal Application Exit";

// The Retry/Cancel box of a package that does not open. Cancel cancels the
// run; in a run whose boxes answer themselves nobody chose it: the package
// the run was to change is missing or locked, and the run failed.
bool RetryOpen(SetupContext& ctx, const std::string& path, const std::string& why) {
  const DialogAnswer answer = ctx.Dialog ? ctx.Dialog->Show(why, "Error", DialogButtons::kRetryCancel, DialogIcon::kWarning)
                                         : DialogAnswer::kCancel;
  if (answer == DialogAnswer::kRetry) return true;
  if (ctx.Dialog && ctx.Dialog->AnswersItself())
    ctx.Record.Report(FailureEffect::kStopsRun, "Cannot open the package \"" + path + "\": the setup stops.",
                      kPackageErrorCaption, DialogIcon::kError);
  else
    ctx.Record.Cancel(why);
  return false;
}

}  // namespace

void WithPackageSystem(SetupContext& ctx, const CommandRun& run,
                       const std::function<void(PackageUpdater&, SetupEntrySource&)>& work) {
  if (!run.System) return;
  PatchingPage page(ctx);
  SetupArchiveGroup group(ctx.Pak);
  std::shared_ptr<void>& checked = ctx.CommandState["packagecheck"];
  if (!checked) checked = std::make_shared<std::set<std::string>>();
  PackageUpdaterHost host;
  host.Files = &run.System->Files();
  host.Checked = static_cast<std::set<std::string>*>(checked.get());
  host.Progress = &page;
  host.RetryOpen = [&ctx](const std::string& path, const std::string& why) { return RetryOpen(ctx, path, why); };
  // A box with OK: the run goes on (a silent run logs "Warning: ...").
  host.Warning = [&ctx](const std::string& text) {
    ctx.Record.Report(FailureEffect::kWarning, text, "Warning", DialogIcon::kWarning);
  };
  try {
    PackageUpdater pakSystem(host);
    work(pakSystem, group);
  } catch (const SetupError& e) {
    // A Cancel was recorded when it was chosen.
    if (!ctx.Record.MustStop()) ctx.Record.Report(FailureEffect::kStopsRun, e.what(), kPackageErrorCaption, DialogIcon::kError);
  }
}

}  // namespace ferry
