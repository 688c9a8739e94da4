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

bool ParsePathAndFlag(const std::vector<std::string>& args, const std::string& flag, std::string& path,
                      bool& flagGiven) {
  path.clear();
  flagGiven = false;
  for (const std::string& a : args) {
    if (a == flag) flagGiven = true;
    else if (path.empty() && !a.empty() && a[0] != '-') path = a;
    else return false;
  }
  return !path.empty();
}

}  // namespace ferry::tool
