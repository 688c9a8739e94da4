#include "wizard/silent_install.h"

#include <algorithm>
#include <string>

#include "base/text.h"
#include "engine/setup_context.h"
#include "engine/startup.h"
#include "base/text_helpers.h"
#include "formats/languages/text_ids.h"
#include "wizard/wizard_model.h"

namespace ferry {

namespace {


std::string CodePageToUtf8(std::string_view s) { return Utf16ToUtf8(CodePageToUtf16(s)); }

std::string DriveOf(std::string_view path) { return std::string(path.substr(0, std::min<size_t>(3, path.size()))); }

std::string InstallDirText(const WizardModel& model, const SetupContext& ctx) {
  if (const LayoutControl* edit = model.InstallDirEdit()) return Utf16ToUtf8(edit->Text);
  return CodePageToUtf8(ctx.SetupInfo.InstallDir);
}

// Why Next cannot be taken on the current page.
std::string BlockedMessage(const WizardModel& model, const SetupContext& ctx) {
  std::optional<PageKind> type = model.CurrentPageType();
  if (type == PageKind::InstallDir) {
    std::string dir = InstallDirText(model, ctx);
    if (!IsDriveFolderPath(dir))
      return "Cannot install to \"" + dir + "\": the folder must start with a drive letter, as in "
             "/D=C:\\Programs\\Product.";
    return "Cannot install to \"" + dir + "\": the drive " + DriveOf(dir) +
           " cannot take an install (a CD-ROM, a RAM disk or no such drive).";
  }
  if (type == PageKind::Patch) {
    int64_t free = static_cast<int64_t>(ctx.SpaceAvailable);
    std::string available = free < 0 ? "an unknown amount" : FormatByteSize(ctx.SpaceAvailable);
    return "Not enough free space to install to \"" + CodePageToUtf8(ctx.SetupInfo.InstallDir) +
           "\": " + FormatByteSize(ctx.SpaceRequired) + " needed, " + available + " available.";
  }
  return "The setup cannot go on from page " + std::to_string(model.CurrentPage() + 1) + ": Next is not available.";
}

// The summary of an install's run, from its record: why it stopped, the
// files not written, what undoing it did; the exit code is the record's.
int ExitCodeOfRun(SetupContext& ctx, const SilentRunFacts& facts,
                  const std::function<void(std::string_view)>& say) {
  // Nothing ran; the host said why when the run ended.
  for (FailureEffect refusal : {FailureEffect::kRefused, FailureEffect::kFolderBusy, FailureEffect::kNewerInstalled,
                                 FailureEffect::kNotPatchable, FailureEffect::kInstalledElsewhere})
    if (ctx.Record.Has(refusal)) return ctx.Record.ExitCode();
  // A stop said in a box was written to the log when it happened.
  for (const RunFailure& f : ctx.Record.Failures())
    if (f.Effect == FailureEffect::kStopsRun && f.BoxCaption.empty() && !f.What.empty()) say(CodePageToUtf8(f.What));
  if (ctx.Record.MustStop()) say("Setup failed: " + Utf16ToUtf8(ctx.Languages.GetText(kTextSetupFailed)));
  const std::vector<RunFailure> files = ctx.Record.FilesNotWritten();
  if (!files.empty()) {
    say(std::to_string(files.size()) + (files.size() == 1 ? " file" : " files") + " could not be written:");
    for (const RunFailure& f : files)
      say("  " + CodePageToUtf8(f.Path) + (f.What.empty() ? "" : " (" + CodePageToUtf8(f.What) + ")"));
  }
  if (facts.Outcome.RolledBack)
    say(facts.Outcome.NotUndone.empty()
            ? "Every change of the run was undone: the product is as it was before."
            : "The run was undone but for " + std::to_string(facts.Outcome.NotUndone.size()) +
                  " change(s) named above.");
  const int code = ctx.Record.ExitCode();
  const std::string folder = "\"" + CodePageToUtf8(ctx.SetupInfo.InstallDir) + "\"";
  if (code == kExitDone) say("Setup finished: installed to " + folder + ".");
  if (code == kExitRestartNeeded) say("Setup finished: installed to " + folder + "; a restart is needed to complete it.");
  if (code == kExitIncomplete)
    say("Setup finished, but not every step was done (see the problems above): installed to " + folder + ".");
  return code;
}

}  // namespace

int GaugePercent(int64_t position, int64_t maximum) {
  if (maximum <= 0) return 0;
  if (position <= 0) return 0;
  if (position >= maximum) return 100;
  return static_cast<int>(position * 100 / maximum);
}

int RunSilentWizard(WizardModel& model, SetupContext& ctx, const SilentRunFacts& facts,
                    const std::function<void(std::string_view)>& say) {
  // The folder start-up chose, path variables expanded: refused before any
  // page's work writes there, like a folder refused at start-up.
  if (ctx.SetupInfo.IsUninstaller != 1) {
    const std::u16string refusal = InstallFolderRefusal(CodePageToUtf16(ctx.SetupInfo.InstallDir));
    if (!refusal.empty()) {
      say("Error: " + Utf16ToUtf8(refusal));
      ctx.Record.Refuse(CodePageFromUtf16(refusal));
      return ctx.Record.ExitCode();
    }
  }
  // Each Next moves forward one page, so twice the page count is more than a
  // wizard can take; a page list that stops moving ends the walk too.
  const size_t limit = 2 * model.PageSet().PageCount() + 2;
  for (size_t step = 0; step < limit && !model.Closed() && !model.Terminated(); ++step) {
    if (model.CurrentPageType() == PageKind::Finish) {
      model.Cancel();  // Cancel reads "Finish" there and closes at once
      break;
    }
    int32_t before = model.CurrentPage();
    if (!model.Next()) {
      const std::string blocked = BlockedMessage(model, ctx);
      say(blocked);
      ctx.Record.Stop(blocked);
      return ctx.Record.ExitCode();
    }
    if (model.CurrentPage() == before && !model.Closed() && !model.Terminated()) break;
  }
  // The host recorded and said what ended the wizard.
  if (model.Terminated()) return ctx.Record.ExitCode();
  if (!model.Closed()) model.RequestClose();
  if (facts.UninstallRan) {
    if (ctx.Record.ExitCode() == kExitDone) {
      say("Uninstall finished: \"" + CodePageToUtf8(ctx.SetupInfo.ShortTitle) + "\" was removed.");
      return kExitDone;
    }
    say("Uninstall finished, but " + std::to_string(facts.UninstallNotRemoved) + " item(s) would not go and " +
        std::to_string(facts.UninstallSkipped) + " record(s) were passed over (see the problems above).");
    return ctx.Record.ExitCode();
  }
  if (!facts.InstallRan) {
    if (ctx.SetupInfo.IsUninstaller == 1)
      ctx.Record.NotDone("The uninstaller has no uninstall page: nothing was removed.");
    else
      say("The setup has no install page: nothing was installed.");
    return ctx.Record.ExitCode();
  }
  return ExitCodeOfRun(ctx, facts, say);
}

}  // namespace ferry
