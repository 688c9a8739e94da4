// The setup thread's platform on Windows: the thread's component object
// system around each run, folders through the file layer, errors into the
// error report.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/setup_thread.h"

namespace ferry {

class ComInit;
class ErrorReporter;

class WinSetupRunPlatform : public SetupRunPlatform {
 public:
  // onFatal runs after the error report of a fatal error, just before the
  // program ends with exit code 1 (silent mode writes the message there).
  explicit WinSetupRunPlatform(ErrorReporter& reporter,
                                std::function<void(std::string_view message)> onFatal = {});
  ~WinSetupRunPlatform() override;

  void BeginRun() override;
  void EndRun() override;
  void ForceDirectories(const std::string& path,
                        const std::function<void(const std::string&)>& created) override;
  void ReportError(std::string_view message, std::string_view stage) override;
  [[noreturn]] void Fatal(std::string_view message, std::string_view stage) override;

 private:
  ErrorReporter& reporter_;
  std::function<void(std::string_view)> on_fatal_;
  std::unique_ptr<ComInit> com_;
};

}  // namespace ferry
