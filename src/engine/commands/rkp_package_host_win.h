// The package system inside the running program: the package commands'
// files, boxes, progress and process ends, bound to the setup context.
#pragma once

#include <functional>

#include "formats/package/pak_system.h"

namespace ferry {

struct TSetupContext;

// Runs `work` with a package system bound to ctx: Windows files (8-bit
// names in the system code page, read-only attribute set to normal), the
// context's boxes, the patching page's status line and gauge, the setup
// archive as the source of groups, FatalAppExit for the fatal errors and
// ExitProcess(0) for Cancel. In a silent run (the context's boxes are the
// silent ones) a fatal error, and Cancel of the Retry box too, is written to
// the run log and ends the process with exit code 1.
void WithPackageSystem(TSetupContext& ctx, const std::function<void(TPakSystem&, SetupEntrySource&)>& work);

}  // namespace ferry
