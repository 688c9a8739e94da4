#include "platform/setup_thread_win.h"

#include <windows.h>

#include "engine/setup_context.h"
#include "engine/startup.h"
#include "base/file_system.h"
#include "platform/files.h"
#include "platform/win_file_system.h"
#include "platform/shell.h"

namespace ferry {

WinSetupRunPlatform::WinSetupRunPlatform(ErrorReporter& reporter,
                                           std::function<void(std::string_view)> onFatal)
    : reporter_(reporter), on_fatal_(std::move(onFatal)) {}

WinSetupRunPlatform::~WinSetupRunPlatform() = default;

// Shortcuts need the component object system on the thread that makes them.
void WinSetupRunPlatform::BeginRun() { com_ = std::make_unique<ComInit>(); }

void WinSetupRunPlatform::EndRun() { com_.reset(); }

void WinSetupRunPlatform::ForceDirectories(const std::string& path,
                                            const std::function<void(const std::string&)>& created) {
  if (IsDriveFolderPath(path)) ferry::ForceDirectories(WinFiles(), path, created);
}

void WinSetupRunPlatform::ReportError(std::string_view message, std::string_view stage) {
  reporter_.Report(message, stage);
}

void WinSetupRunPlatform::Fatal(std::string_view message, std::string_view stage) {
  reporter_.Report(message, stage);
  if (on_fatal_) on_fatal_(message);
  ExitProcess(static_cast<UINT>(kExitFailed));
}

}  // namespace ferry
