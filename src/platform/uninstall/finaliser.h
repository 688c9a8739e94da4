// What the uninstaller does when its wizard closes on the Finish page.
#pragma once

namespace ferry {

class PrivateFolder;
struct SetupContext;

// Writes the archive's "FINALISE.EXE" to the run's private folder and starts
// it with the uninstaller's path in double quotes. Without such an entry
// nothing is written or started. True when it was started.
bool RunFinaliser(SetupContext& ctx, PrivateFolder& temp);

// RunFinaliser, then, after a completed uninstall work and when the running
// program is the registered uninstaller (IsSameFile, however it was
// started), ScheduleSelfRemoval of it with the recorded folders and its own.
void FinishUninstaller(SetupContext& ctx, bool workDone, PrivateFolder& temp);

}  // namespace ferry
