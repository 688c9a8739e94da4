// ferryc: compiles setup scripts into setup programs and inspects setups,
// install logs, VFS archives and package archives.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "host_paths.h"
#include "tool_command.h"

namespace {

void PrintOverview() {
  std::printf("usage: ferryc COMMAND [ARGS...]   (ferryc help COMMAND, or ferryc COMMAND --help, for details)\n"
              "       ferryc --version\n\ncommands:\n");
  for (const auto& c : ferry::tool::ToolCommands())
    std::printf("  %-8s %-28s %s\n", c.Name, c.Usage, c.Summary);
}

}  // namespace

int main(int argc, char** argv) {
  ferry::tool::SetProgramArgument0(argc > 0 ? argv[0] : nullptr);
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    PrintOverview();
    return argc < 2 ? 2 : 0;
  }
  std::string name = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (name == "--version") {
    std::printf("ferryc %s (commit %s)\n", FERRY_VERSION, FERRY_COMMIT);
    return 0;
  }
  if (name == "help") {
    if (args.size() != 1) {
      PrintOverview();
      return args.empty() ? 0 : 2;
    }
    name = args[0];
    args = {"--help"};
  }
  for (const auto& c : ferry::tool::ToolCommands()) {
    if (name != c.Name) continue;
    try {
      return c.Run(args);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "ferryc %s: %s\n", c.Name, e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "ferryc: unknown command '%s'\n", name.c_str());
  PrintOverview();
  return 2;
}
