// What the wizard asks of the running setup, answered alike by the window
// and by the silent run: entries of the archive, path variables, the install
// log, and the setup thread's run while the main thread's messages flow.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/pak/pak_file.h"
#include "engine/setup_context.h"
#include "engine/setup_thread.h"
#include "platform/ui_task.h"
#include "wizard/wizard_model.h"

namespace ferry {

class TRunningWizardHost : public WizardHost {
 public:
  TRunningWizardHost(TSetupContext& ctx, TUiTaskWindow& ui, TSetupThread& thread)
      : ctx_(ctx), ui_(ui), thread_(thread) {}

  std::optional<std::vector<uint8_t>> LoadEntry(std::string_view name) override {
    if (!ctx_.Pak) return std::nullopt;
    return ctx_.Pak->LoadByName(name, 0);
  }
  uint32_t PayloadEntryCount() override {
    return ctx_.Pak ? static_cast<uint32_t>(ctx_.Pak->CountPayloadEntries()) : 0;
  }
  std::string ExpandPathVars(std::string_view text) override { return ctx_.ExpandPathVars(text); }
  void AddInstallDirectory(const std::string& dir) override { ctx_.InstallLog.AddDirectory(dir); }
  void RunInstall() override {
    ctx_.CurrentLine = -1;
    ctx_.RunRequested.store(1);
    ui_.PumpUntil([this] { return ctx_.RunRequested.load() == 0 || thread_.Ended(); });
  }
  void StopSetupThread() override {
    thread_.Stop();
    thread_.WaitFor();
  }

 protected:
  TSetupContext& ctx_;
  TUiTaskWindow& ui_;
  TSetupThread& thread_;
};

}  // namespace ferry
