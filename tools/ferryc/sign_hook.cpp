#include "sign_hook.h"

#include <cstdio>

#ifndef _WIN32
#include <sys/wait.h>
#endif

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

SignOutcome RunSignHook(std::string_view command, const std::filesystem::path& file) {
  SignOutcome outcome;
  // The whole line in braces (a group for sh, a block for cmd.exe's
  // parentheses) so that "2>&1" takes every part of "a && b".
#ifdef _WIN32
  const std::string line = "(" + SignCommandLine(command, file) + ") 2>&1";
  FILE* pipe = _popen(line.c_str(), "r");
#else
  const std::string line = "{ " + SignCommandLine(command, file) + "\n} 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
#endif
  if (!pipe) {
    outcome.Output = "the command interpreter could not be started";
    return outcome;
  }
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.Output.append(buffer, n);
#ifdef _WIN32
  outcome.Ok = _pclose(pipe) == 0;
#else
  const int status = pclose(pipe);
  outcome.Ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
  return outcome;
}

}  // namespace ferry::tool
