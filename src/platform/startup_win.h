// The Windows side of start-up: the real environment, the silent stand-in
// for the verification window, and the error reporter.
#pragma once

#include "engine/startup.h"

namespace ferry {

class RunLog;
struct SetupContext;

class WinStartupEnvironment : public StartupEnvironment {
 public:
  uint16_t DefaultLangId() override;
  NativePath OwnProgramPath() override;
  bool FileExists(const NativePath& path) override;
  std::unique_ptr<RandomAccessFile> OpenArchive(const NativePath& path) override;
  std::string FindCdDrive() override;
  std::string ProgramsDir() override;
  std::string ProgramFilesDir() override;
  std::string SystemFolderDir(SystemFolder folder) override;
  std::optional<std::string> ReadRegistryString(int root, const std::string& key,
                                                const std::string& valueName) override;
  std::optional<uint64_t> FreeDiskBytes(const std::string& root) override;
  bool IsElevated() override;
};

// Silent mode: the window's status lines go to the run log instead, the
// first and the last of each count.
class SilentVerifyView : public VerifyView {
 public:
  explicit SilentVerifyView(RunLog& log) : log_(log) {}
  void SetStatus(const std::string& text) override { status_ = text; }
  void SetProgress(uint32_t position, uint32_t maximum) override;
  void Refresh() override;
  void HoldAndClose(uint32_t) override {}

 private:
  RunLog& log_;
  std::string status_;
  std::string last_logged_;
  uint32_t position_ = 0;
  uint32_t maximum_ = 0;
};

// Writes the error report with what the context knows; the report is
// opened only when `openReport` (not in silent mode).
class WinErrorReporter : public ErrorReporter {
 public:
  WinErrorReporter(const SetupContext& ctx, const StubOptions& options, Dialogs& dialogs, bool openReport)
      : ctx_(ctx), options_(options), dialogs_(dialogs), open_(openReport) {}
  void Report(std::string_view errorText, std::string_view stage) override;

 private:
  const SetupContext& ctx_;
  const StubOptions& options_;
  Dialogs& dialogs_;
  bool open_;
};

}  // namespace ferry
