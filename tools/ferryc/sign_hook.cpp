#include "sign_hook.h"


namespace ferry::tool {

namespace {

std::string Quoted(const std::filesystem::path& file) {
#ifdef _WIN32
  // A Windows path holds no double quote.
  return "\"" + file.string() + "\"";
#else
  std::string quoted = "'";
  for (char c : file.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

}  // namespace

std::string SignCommandLine(std::string_view command, const std::filesystem::path& file) {
  const std::string quoted = Quoted(file);
  std::string line;
  for (size_t at = 0;;) {
    const size_t found = command.find(kSignFilePlaceholder, at);
    line += command.substr(at, found - at);
    if (found == std::string_view::npos) return line;
    line += quoted;
    at = found + kSignFilePlaceholder.size();
  }
}

ShellCommandResult RunSignHook(std::string_view command, const std::filesystem::path& file) {
  return RunShellCommand(SignCommandLine(command, file));
}

}  // namespace ferry::tool
