#include "tool_command.h"

namespace ferry::tool {

namespace {

std::vector<ToolCommand>& Registry() {
  static std::vector<ToolCommand> commands;
  return commands;
}

}  // namespace

ToolCommandRegistration::ToolCommandRegistration(const ToolCommand& command) {
  Registry().push_back(command);
}

const std::vector<ToolCommand>& ToolCommands() { return Registry(); }

bool WantsHelp(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

}  // namespace ferry::tool
