// ferryc journal FILE
#include <cstdio>
#include <string>
#include <vector>

#include "base/random_access_file.h"
#include "formats/run_journal/run_journal_format.h"
#include "tool_command.h"

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc journal FILE\n"
    "\n"
    "Prints the run journal a setup leaves in its install folder\n"
    "(~ferry-run.journal) while it works, or after it was killed: the\n"
    "process that wrote it, then each change the run noted, in order.\n"
    "The next setup or uninstaller started for that folder undoes them.\n"
    "Exit status: 0 sound, 1 damaged or cut short, 2 bad usage.\n";

int RunJournalCommand(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (args.size() != 1) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  std::vector<uint8_t> data = ReadFileBytes(args[0]);
  std::optional<RunJournalContents> contents = ParseRunJournal(data);
  if (!contents) {
    std::fprintf(stderr, "%s: not a run journal (or its header is damaged)\n", args[0].c_str());
    return 1;
  }
  std::printf("# folder %s\n# process %u started %llu\n", contents->Header.InstallFolder.c_str(),
              contents->Header.ProcessId, static_cast<unsigned long long>(contents->Header.ProcessStart));
  for (size_t i = 0; i < contents->Records.size(); ++i)
    std::printf("%zu %s\n", i, DescribeJournalRecord(contents->Records[i]).c_str());
  std::printf("# %zu records%s\n", contents->Records.size(),
              contents->Torn ? "; the bytes after them are damaged or cut short" : "");
  return contents->Torn ? 1 : 0;
}

const ToolCommandRegistration kJournal{
    {"journal", "FILE", "print a setup run's journal (what a killed run changed)", RunJournalCommand}};

}  // namespace

}  // namespace ferry::tool
