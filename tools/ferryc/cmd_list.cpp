// ferryc list SETUP [--group N]
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "formats/pak/pe_image.h"
#include "setup_reading.h"
#include "tool_command.h"

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc list SETUP [--group N]\n"
    "\n"
    "Lists the archive directory of a setup (or uninstaller), one entry per\n"
    "line, in directory order:\n"
    "\n"
    "  INDEX GROUP METHOD ORIGSIZE STOREDSIZE CRC32 OFFSET NAME\n"
    "\n"
    "METHOD is zlib, zstd or stored; NAME is the rest of the line. A summary per\n"
    "group follows, each line starting with '#'.\n"
    "Exit status: 0 listed, 1 no readable archive, 2 bad usage.\n";

int RunList(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::string path;
  long only = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--group" && i + 1 < args.size()) only = std::stol(args[++i]);
    else if (path.empty() && args[i][0] != '-') path = args[i];
    else {
      std::fputs(kHelp, stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  OpenedSetup setup(path);
  if (std::string problem = setup.ArchiveProblem(); !problem.empty()) {
    std::fprintf(stderr, "ferryc list: %s: %s\n", path.c_str(), problem.c_str());
    return 1;
  }
  struct Sum {
    size_t Count = 0;
    unsigned long long Orig = 0, Stored = 0;
  };
  std::map<unsigned, Sum> sums;
  std::printf("%5s %5s %-6s %10s %10s %-8s %10s %s\n", "INDEX", "GROUP", "METHOD", "ORIGSIZE", "STORED", "CRC32",
              "OFFSET", "NAME");
  const auto& files = setup.Pak().Files();
  for (size_t i = 0; i < files.size(); ++i) {
    const PakFile& f = files[i];
    if (only >= 0 && f.Group != only) continue;
    unsigned long long stored = f.CompSize != 0 ? f.CompSize : f.OrigSize;
    std::printf("%5zu %5u %-6s %10u %10llu %08x %10u %s\n", i, f.Group, EntryMethod(setup, f).c_str(), f.OrigSize, stored,
                f.Checksum, f.Offset, f.Name.c_str());
    Sum& s = sums[f.Group];
    ++s.Count;
    s.Orig += f.OrigSize;
    s.Stored += stored;
  }
  const PakTrailer& t = setup.Pak().Trailer();
  std::printf("# %zu entries, host program %u bytes, directory at %u, file %llu bytes\n", files.size(), t.DataStart,
              t.DirectoryOffset, static_cast<unsigned long long>(setup.FileSize()));
  if (std::optional<uint64_t> table = PeAppendedDataEnd(setup.File()); table && *table < setup.FileSize())
    std::printf("# signed: archive ends at %llu, certificate table at %llu, %llu bytes\n",
                static_cast<unsigned long long>(setup.Pak().ArchiveEnd()), static_cast<unsigned long long>(*table),
                static_cast<unsigned long long>(setup.FileSize() - *table));
  for (const auto& [group, s] : sums)
    std::printf("# group %u: %zu entries, %llu bytes, %llu stored (%.1f%%)\n", group, s.Count, s.Orig, s.Stored,
                s.Orig ? 100.0 * static_cast<double>(s.Stored) / static_cast<double>(s.Orig) : 100.0);
  return 0;
}

const ToolCommandRegistration kList{{"list", "SETUP [--group N]", "list a setup's archive directory", RunList}};

}  // namespace

}  // namespace ferry::tool
