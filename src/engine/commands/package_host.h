// The package system inside the running setup: the package commands' files,
// questions, progress and failures, bound to the setup context.
#pragma once

#include <functional>

#include "formats/package/package_updater.h"

namespace ferry {

class CommandRun;
struct SetupContext;

// Runs `work` with a package system bound to ctx and the run: the run's files (a
// read-only file is made normal before it is changed), the Retry/Cancel
// question of a package that does not open (the context's boxes), the
// patching page's status line and gauge, the setup archive as the source of
// groups. An error of the package stops the run (ctx.Record, with the box
// "Fatal Application Exit"), which is then undone; Cancel of the Retry box
// cancels it (exit code 2), except in a run whose boxes answer themselves,
// where nobody chose it: there it is an error like any other. Without
// run.System nothing runs.
void WithPackageSystem(SetupContext& ctx, const CommandRun& run,
                       const std::function<void(PackageUpdater&, SetupEntrySource&)>& work);

}  // namespace ferry
