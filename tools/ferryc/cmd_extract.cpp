// ferryc extract SETUP DIR [--group N] [--base DIR]
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "host_paths.h"
#include "script_writeback.h"
#include "setup_reading.h"
#include "tool_command.h"
#include "work_progress.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc extract SETUP DIR [--group N] [--base DIR] [-q]\n"
    "\n"
    "With --group N: writes the files of payload group N (0: the setup's own\n"
    "data) below DIR under their archive names.\n"
    "\n"
    "Without it: writes everything needed to build the setup again into DIR:\n"
    "  setup.fss         the script (as `ferryc info --script` prints it)\n"
    "  setup-stub.exe    the host program the archive was appended to\n"
    "  languages\\        the language tables\n"
    "  setup-data\\       layouts, pages, images, change log, uninstaller files\n"
    "  the payload       below the source folders the script names\n"
    "so that `ferryc compile DIR/setup.fss --stub DIR/setup-stub.exe -o OUT`\n"
    "gives the same bytes. Notes on standard error say where it cannot.\n"
    "Prints one line per file written, then a summary: entries, bytes in (as\n"
    "stored), bytes out, their ratio and the time taken. On a terminal a\n"
    "counter of files and bytes shows on standard error while it works.\n"
    "A delta entry (a patch's changed file) is made against the release it\n"
    "patches: --base DIR names that release as installed; without it such\n"
    "an entry is not written and the run says so.\n"
    "-q prints errors only. Names that would leave DIR are refused.\n"
    "Exit status: 0 all written, 1 damage or a file that could not be written,\n"
    "2 bad usage.\n";

fs::path HostPath(const fs::path& dir, const std::string& rel) {
  fs::path out = dir;
  std::string part;
  for (size_t i = 0; i <= rel.size(); ++i) {
    if (i == rel.size() || rel[i] == '\\' || rel[i] == '/') {
      if (!part.empty()) out /= PathFromAnsi(part);
      part.clear();
    } else {
      part += rel[i];
    }
  }
  return out;
}

struct ExtractRun {
  OpenedSetup& Setup;
  fs::path Dir;
  bool Quiet = false;
  fs::path Base;                                 // --base, or empty
  std::map<uint16_t, std::string> InstallFolders;  // by group

  size_t Entries = 0;
  uint64_t BytesIn = 0, BytesOut = 0;
};

bool Extract(ExtractRun& run, size_t index, const std::string& rel) {
  if (!IsContainedName(rel)) {
    std::fprintf(stderr, "ferryc extract: refused '%s': the name leaves the target folder\n", rel.c_str());
    return false;
  }
  try {
    const PakFile& e = *run.Setup.Pak().Entry(index);
    fs::path base;
    if (e.Kind == kEntryDelta && !run.Base.empty()) {
      auto folder = run.InstallFolders.find(e.Group);
      base = HostPath(run.Base, (folder != run.InstallFolders.end() ? folder->second : std::string()) + e.Name);
    }
    ExtractEntry(run.Setup, index, HostPath(run.Dir, rel), base);
    if (!run.Quiet) std::printf("%s\n", rel.c_str());
    ++run.Entries;
    run.BytesIn += e.CompSize ? e.CompSize : e.OrigSize;
    run.BytesOut += e.OrigSize;
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ferryc extract: %s: %s\n", rel.c_str(), e.what());
    return false;
  }
}

// Extracts `wanted` (entry index, name below DIR) with the counter.
bool ExtractAll(ExtractRun& run, WorkProgress& progress, const std::vector<std::pair<size_t, std::string>>& wanted) {
  uint64_t total = 0;
  for (const auto& w : wanted) total += run.Setup.Pak().Entry(w.first)->OrigSize;
  progress.SetTotal(wanted.size(), total);
  bool ok = true;
  size_t done = 0;
  uint64_t bytes = 0;
  for (const auto& [index, rel] : wanted) {
    ok &= Extract(run, index, rel);
    bytes += run.Setup.Pak().Entry(index)->OrigSize;
    progress.Step(++done, bytes);
  }
  progress.Finish();
  return ok;
}

int RunExtract(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::vector<std::string> plain;
  long group = -1;
  bool quiet = false;
  std::string base;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--group" && i + 1 < args.size()) group = std::stol(args[++i]);
    else if (args[i] == "--base" && i + 1 < args.size()) base = args[++i];
    else if (args[i] == "-q") quiet = true;
    else if (!args[i].empty() && args[i][0] != '-') plain.push_back(args[i]);
    else {
      std::fputs(kHelp, stderr);
      return 2;
    }
  }
  if (plain.size() != 2 || group > 0xFFFF) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  WorkProgress progress(!quiet);
  OpenedSetup setup(plain[0]);
  ExtractRun run{setup, plain[1], quiet, base, InstallFolders(setup)};
  if (std::string problem = setup.ArchiveProblem(); !problem.empty()) {
    std::fprintf(stderr, "ferryc extract: %s: %s\n", plain[0].c_str(), problem.c_str());
    return 1;
  }
  std::error_code ec;
  fs::create_directories(run.Dir, ec);
  bool ok = true;
  std::vector<std::pair<size_t, std::string>> wanted;
  if (group >= 0) {
    const auto& files = setup.Pak().Files();
    for (size_t i = 0; i < files.size(); ++i)
      if (files[i].Group == group) wanted.emplace_back(i, files[i].Name);
    ok = ExtractAll(run, progress, wanted);
  } else {
    auto info = setup.SetupInfo();
    if (!info) {
      std::fprintf(stderr, "ferryc extract: no sound \"SetupInfo\" entry; use --group N\n");
      return 1;
    }
    CompLineList lines = setup.CompiledLines().value_or(CompLineList{});
    WriteBack wb = WriteBackScript(*info, lines, setup.Pak().Files(), setup.ProductInfo(), UsesZstd(setup), DeltaBaseText(setup));
    for (const WriteBackFile& f : wb.Files) wanted.emplace_back(f.EntryIndex, f.RelPath);
    ok = ExtractAll(run, progress, wanted);
    try {
      std::string text = wb.Text();
      WriteFileBytes(run.Dir / "setup.fss", std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
      if (!quiet) std::printf("setup.fss\n");
      uint32_t host = setup.Pak().Trailer().DataStart;
      std::vector<uint8_t> stub = setup.File().ReadVector(0, host);
      if (stub.size() != host) throw SetupError("the host program is cut short");
      WriteFileBytes(run.Dir / "setup-stub.exe", stub);
      if (!quiet) std::printf("setup-stub.exe\n");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "ferryc extract: %s\n", e.what());
      ok = false;
    }
    for (const std::string& n : wb.Notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  }
  if (!quiet)
    std::printf("%s: %zu entries, %llu bytes in, %llu bytes out (%s), %.2f s\n", run.Dir.string().c_str(), run.Entries,
                static_cast<unsigned long long>(run.BytesIn), static_cast<unsigned long long>(run.BytesOut),
                Percent(run.BytesIn, run.BytesOut).c_str(), progress.Seconds());
  return ok ? 0 : 1;
}

const ToolCommandRegistration kExtract{
    {"extract", "SETUP DIR [--group N] [--base DIR]", "write a setup's files (and its script) to a folder", RunExtract}};

}  // namespace

}  // namespace ferry::tool
