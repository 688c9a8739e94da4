#include "base/shell_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace ferry {

ShellCommandResult RunShellCommand(const std::string& line) {
  ShellCommandResult result;
  // In braces, so that "2>&1" takes every part of "a && b".
  FILE* pipe = popen(("{ " + line + "\n} 2>&1").c_str(), "r");
  if (!pipe) {
    result.Output = "the command interpreter could not be started";
    return result;
  }
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.Output.append(buffer, n);
  const int status = pclose(pipe);
  result.Ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

}  // namespace ferry
