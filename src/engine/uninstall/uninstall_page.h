// The work of an Uninstall page over the running uninstaller's context.
#pragma once

#include <string>

#include "engine/uninstall/uninstall_work.h"

namespace ferry {

struct TSetupInfo;
struct SetupContext;

// <install dir>\<uninstall prefix>install.log
std::string InstallLogPath(const TSetupInfo& info);

// The install log is read again through `system` and checked first: a
// damaged or missing log raises SetupError and nothing is removed (why it
// could not be read goes to the view's problems). Then ctx.InstallLog holds
// it and the work replays it (RunUninstallWork).
UninstallOutcome RunUninstallPage(SetupContext& ctx, UninstallSystem& system, UninstallView& view);

}  // namespace ferry
