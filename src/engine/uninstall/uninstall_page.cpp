#include "engine/uninstall/uninstall_page.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "base/setup_error.h"
#include "base/text_helpers.h"
#include "engine/setup_context.h"

namespace ferry {

std::string InstallLogPath(const SetupInfoRecord& info) {
  return IncludeTrailingBackslash(info.InstallDir) + info.UninstallPrefix + "install.log";
}

namespace {

// A run undone at start that had begun in a folder without a product.
bool UndoneRunWasFirst(const RecoveryReport& undone, UninstallSystem& system, const std::string& logPath) {
  return undone.Found && !undone.LeftAlone && !undone.Completed && undone.Untrusted.empty() &&
         !system.FileExists(logPath);
}

}  // namespace

UninstallOutcome RunUninstallPage(SetupContext& ctx, UninstallSystem& system, UninstallView& view,
                                  const RecoveryReport& undone) {
  const std::string logPath = InstallLogPath(ctx.SetupInfo);
  if (UndoneRunWasFirst(undone, system, logPath)) {
    ctx.InstallLog.Clear();
  } else {
    std::optional<std::vector<uint8_t>> bytes;
    try {
      bytes = system.ReadInstallLog();
    } catch (const SetupError& e) {
      view.Problem(e.what());
    }
    if (!bytes) throw SetupError("The install log \"" + logPath + "\" could not be read. Nothing was removed.");
    if (std::optional<std::string> damage = CheckInstallLog(*bytes))
      throw SetupError("The install log \"" + logPath + "\" is damaged: " + *damage + ". Nothing was removed.");
    ctx.InstallLog.LoadFromBuffer(*bytes);
  }
  // Outermost first, as the log keeps them (they were noted innermost first).
  for (auto it = undone.FoldersKept.rbegin(); it != undone.FoldersKept.rend(); ++it) ctx.InstallLog.AddDirectory(*it);
  UninstallWorkArgs args{ctx.InstallLog, ctx.Languages,
                          [&ctx](std::string_view path) { return ctx.ExpandPathVars(path); }, ctx.SetupInfo.ShortTitle};
  UninstallOutcome outcome = RunUninstallWork(args, system, view);
  // Each item was named as it failed; the summary counts them.
  if (outcome.NotRemoved + outcome.Skipped > 0) ctx.Record.NotDone("");
  return outcome;
}

}  // namespace ferry
