// The silent run (/S): the wizard model driven to its end with no window.
//
//   - Next on every page in order. The install-directory page takes the
//     directory start-up chose (/D=, else the registry's or the default).
//   - Next that stays unavailable ends the run with exit code 1 and a
//     message: a drive that cannot take an install on the install-directory
//     page, too little free space on the ready page, or any other page that
//     does not let the wizard go on.
//   - The work page runs the setup thread through the host, which fills
//     SilentRunFacts; a Finish page closes the wizard.
//   - Questions get the answers of the silent dialogs: "messagebox" is
//     answered OK, the closing question Yes.
//
// An install folder the wizard's page would refuse (InstallFolderRefusal)
// ends the run before the first page with exit code 3.
//
// An uninstaller's run ends with 0 when its work page removed everything
// the install log names that was there, else 1 (what stayed is named).
//
// The exit code is the run's record's (engine/run_record.h; docs/stub.md
// has the table): 0 when every step was done; 1 when a page's work, a line
// of the script or the end of the run failed (the summary names the stop,
// language text 23, each file not written, and what undoing the run did); 2
// when the user cancelled; 3 when nothing ran; 4 when the run finished but
// steps were not done (each named on a "Problem:" line); 1618 when another
// setup works in the folder; 3010 when a restart is needed to complete it.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/setup_thread.h"

namespace ferry {

class WizardModel;
struct SetupContext;

// What the host saw of the install work.
struct SilentRunFacts {
  bool InstallRan = false;
  RunOutcome Outcome;
  // The uninstaller's work page ran to its end; files or registry values
  // that were there and would not go, records passed over as unsafe.
  bool UninstallRan = false;
  uint32_t UninstallNotRemoved = 0;
  uint32_t UninstallSkipped = 0;
};

// say: one line (UTF-8) for standard error and the run log.
int RunSilentWizard(WizardModel& model, SetupContext& ctx, const SilentRunFacts& facts,
                    const std::function<void(std::string_view)>& say);

// The percentage a gauge position stands for (0 when the maximum is not
// above 0). Cut, not rounded, so 100 means done.
int GaugePercent(int64_t position, int64_t maximum);

}  // namespace ferry
