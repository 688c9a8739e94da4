// The silent run on Windows: the wizard model, the setup thread and the
// hand-over window put together, progress and messages to the run log.
#pragma once

#include <cstdint>
#include <string>

#include "ui/wizard_model.h"

namespace ferry {

class Dialogs;
class RunLog;
struct TSetupContext;
struct TStubOptions;

// The drives as Windows reports them.
class TWinDriveInfo : public DriveInfo {
 public:
  DriveType GetDriveType(const std::string& root) override;
  int64_t DiskFree(int drive) override;
  bool DirectoryExists(const std::string& path) override;
};

// After start-up, with /S: runs the wizard silently; the exit code (see
// core/silent_install.h). Progress lines are "Status: ...", "Message: ..."
// and "Progress: N%", problems "Problem: ...".
int RunSilentInstall(TSetupContext& ctx, const TStubOptions& options, Dialogs& dialogs, RunLog& log);

}  // namespace ferry
