#include "engine/setup_context.h"

namespace ferry {

TSetupContext::TSetupContext() {
  BindTextMacros(TextMacros, SetupInfo, SpaceRequiredText, SpaceAvailableText);
  InstallLog.SetPathFolder([this](std::string_view path) { return FoldPathVars(path); });
}

std::string TSetupContext::ExpandPathVars(std::string_view text) const {
  return ferry::ExpandPathVars(text, SetupInfo.InstallDir, Folders);
}

std::string TSetupContext::FoldPathVars(std::string_view text) const {
  return ferry::FoldPathVars(text, SetupInfo.InstallDir, Folders);
}

}  // namespace ferry
