// ferryc's subcommands. Each lives in its own file and registers itself:
//
//   static const ToolCommandRegistration kList{
//       {"list", "SETUP", "list the archive directory", RunList}};
//
// `args` holds the arguments after the subcommand's name. A subcommand prints
// its own --help, writes results to stdout and errors to stderr, and returns
// the process exit status.
#pragma once

#include <string>
#include <vector>

namespace ferry::tool {

struct ToolCommand {
  const char* Name;
  const char* Usage;    // arguments, for the overview
  const char* Summary;  // one line
  int (*Run)(const std::vector<std::string>& args);
};

class ToolCommandRegistration {
 public:
  explicit ToolCommandRegistration(const ToolCommand& command);
};

const std::vector<ToolCommand>& ToolCommands();

bool WantsHelp(const std::vector<std::string>& args);

// The arguments "PATH [flag]" in any order: false (usage error) for a
// missing path, a second path or any other option.
bool ParsePathAndFlag(const std::vector<std::string>& args, const std::string& flag, std::string& path,
                      bool& flagGiven);

}  // namespace ferry::tool
