// The package system inside the running setup: the package commands' files,
// boxes, progress and process ends, bound to the setup context.
#pragma once

#include <functional>

#include "formats/package/pak_system.h"

namespace ferry {

class CommandRun;
struct SetupContext;

// Runs `work` with a package system bound to ctx and the run: the run's files (a
// read-only file is made normal before it is changed), the context's boxes,
// the patching page's status line and gauge, the setup archive as the
// source of groups, System::FatalExit for the fatal errors and
// System::ExitProcess(0) for Cancel. In a run whose boxes answer themselves
// a fatal error, and Cancel of the Retry box too, is written to the run log
// and ends the process with exit code 1. Without run.System nothing runs.
void WithPackageSystem(SetupContext& ctx, const CommandRun& run,
                       const std::function<void(TPakSystem&, SetupEntrySource&)>& work);

}  // namespace ferry
