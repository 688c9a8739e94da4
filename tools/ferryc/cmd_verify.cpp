// ferryc verify SETUP [-v]
#include <cstdio>
#include <string>
#include <vector>

#include "setup_reading.h"
#include "tool_command.h"

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc verify SETUP [-v]\n"
    "\n"
    "Checks every archive entry of a setup (or uninstaller): its stored bytes\n"
    "lie inside the archive, their CRC-32 matches the directory and they unpack\n"
    "to the recorded size. Then checks the setup as a whole: its setup\n"
    "information and command stream are present and every payload group\n"
    "belongs to a line of the stream.\n"
    "\n"
    "Prints one line per damaged entry (all entries with -v):\n"
    "  INDEX GROUP STATE NAME\n"
    "then findings about the whole setup and a last line 'ok' or 'damaged'.\n"
    "Exit status: 0 sound, 1 damaged or no archive, 2 bad usage.\n";

int RunVerify(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::string path;
  bool verbose = false;
  if (!ParsePathAndFlag(args, "-v", path, verbose)) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  OpenedSetup setup(path);
  if (std::string problem = setup.ArchiveProblem(); !problem.empty()) {
    std::printf("%s\ndamaged\n", problem.c_str());
    return 1;
  }
  size_t bad = 0;
  size_t count = setup.Pak().EntryCount();
  for (size_t i = 0; i < count; ++i) {
    EntryCheck c = CheckEntry(setup, i);
    if (!c.Sound) ++bad;
    if (!c.Sound || verbose) {
      const PakFile& f = *setup.Pak().Entry(i);
      std::printf("%zu %u %s %s\n", i, f.Group, c.Sound ? c.State.c_str() : ("BAD: " + c.State).c_str(),
                  f.Name.c_str());
    }
  }
  std::vector<std::string> findings = CheckStructure(setup);
  for (const std::string& f : findings) std::printf("setup: %s\n", f.c_str());
  bool sound = bad == 0 && findings.empty();
  std::printf("%zu entries, %zu damaged\n%s\n", count, bad, sound ? "ok" : "damaged");
  return sound ? 0 : 1;
}

const ToolCommandRegistration kVerify{
    {"verify", "SETUP [-v]", "check every entry's checksum and size", RunVerify}};

}  // namespace

}  // namespace ferry::tool
