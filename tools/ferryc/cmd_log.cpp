// ferryc log INSTALL.LOG
#include <cstdio>
#include <string>
#include <vector>

#include "base/random_access_file.h"
#include "log_reading.h"
#include "tool_command.h"

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc log INSTALL.LOG\n"
    "\n"
    "Deciphers an install log and prints what an uninstall would remove, one\n"
    "record per line, in the order the log keeps them:\n"
    "  file PATH\n"
    "  registry \"ROOT\" \"KEY\" \"VALUE NAME\" \"DATA\"\n"
    "  folder PATH\n"
    "Lines starting with '#' are summaries. A log whose counts and strings do\n"
    "not fill it exactly is reported as damaged (the records that could be\n"
    "read are still printed).\n"
    "Exit status: 0 sound, 1 damaged or unreadable, 2 bad usage.\n";

int RunLog(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (args.size() != 1) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  std::vector<uint8_t> data = ReadFileBytes(args[0]);
  LogReport report = DescribeInstallLog(data);
  std::fputs(report.Text.c_str(), stdout);
  return report.Sound ? 0 : 1;
}

const ToolCommandRegistration kLog{{"log", "INSTALL.LOG", "print a decoded install log", RunLog}};

}  // namespace

}  // namespace ferry::tool
