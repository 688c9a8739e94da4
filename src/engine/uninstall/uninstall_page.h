// The work of an Uninstall page over the running uninstaller's context.
#pragma once

#include <string>

#include "engine/run_journal/run_recovery.h"
#include "engine/uninstall/uninstall_work.h"

namespace ferry {

struct SetupInfoRecord;
struct SetupContext;

// <install dir>\<uninstall prefix>install.log
std::string InstallLogPath(const SetupInfoRecord& info);

// The install log is read again through `system` and checked first: a
// damaged or missing log raises SetupError and nothing is removed (why it
// could not be read goes to the view's problems). Then ctx.InstallLog holds
// it and the work replays it (RunUninstallWork).
//
// undone: what undoing an unfinished run in the install folder did at the
// uninstaller's start. The folders that run made and that stayed are
// removed too, when empty; and when its undoing left no install log, that
// run was the product's first and there is nothing more to remove: the
// work runs over an empty log (the registration goes, the folders go).
UninstallOutcome RunUninstallPage(SetupContext& ctx, UninstallSystem& system, UninstallView& view,
                                  const RecoveryReport& undone = {});

}  // namespace ferry
