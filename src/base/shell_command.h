// A command line run by the host's command interpreter (sh, or cmd.exe),
// for tools that hand a step to a program of the user's choosing.
#pragma once

#include <string>

namespace ferry {

struct ShellCommandResult {
  bool Ok = false;     // it ended with exit code 0
  std::string Output;  // what it printed, standard error included
};

// Runs `line` and waits for it to end.
ShellCommandResult RunShellCommand(const std::string& line);

}  // namespace ferry
