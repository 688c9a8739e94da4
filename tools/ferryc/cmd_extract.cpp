// ferryc extract SETUP DIR [--group N]
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "host_paths.h"
#include "script_writeback.h"
#include "setup_reading.h"
#include "tool_command.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc extract SETUP DIR [--group N]\n"
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
    "Prints one line per file written. Names that would leave DIR are refused.\n"
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

bool Extract(OpenedSetup& setup, size_t index, const fs::path& dir, const std::string& rel) {
  if (!IsContainedName(rel)) {
    std::fprintf(stderr, "ferryc extract: refused '%s': the name leaves the target folder\n", rel.c_str());
    return false;
  }
  try {
    ExtractEntry(setup, index, HostPath(dir, rel));
    std::printf("%s\n", rel.c_str());
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ferryc extract: %s: %s\n", rel.c_str(), e.what());
    return false;
  }
}

int RunExtract(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::vector<std::string> plain;
  long group = -1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--group" && i + 1 < args.size()) group = std::stol(args[++i]);
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
  OpenedSetup setup(plain[0]);
  fs::path dir = plain[1];
  if (std::string problem = setup.ArchiveProblem(); !problem.empty()) {
    std::fprintf(stderr, "ferryc extract: %s: %s\n", plain[0].c_str(), problem.c_str());
    return 1;
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  bool ok = true;
  if (group >= 0) {
    const auto& files = setup.Pak().Files();
    for (size_t i = 0; i < files.size(); ++i)
      if (files[i].Group == group) ok &= Extract(setup, i, dir, files[i].Name);
    return ok ? 0 : 1;
  }
  auto info = setup.SetupInfo();
  if (!info) {
    std::fprintf(stderr, "ferryc extract: no sound \"SetupInfo\" entry; use --group N\n");
    return 1;
  }
  TCompLines lines = setup.CompiledLines().value_or(TCompLines{});
  WriteBack wb = WriteBackScript(*info, lines, setup.Pak().Files(), setup.ProductInfo());
  for (const WriteBackFile& f : wb.files) ok &= Extract(setup, f.entryIndex, dir, f.relPath);
  try {
    std::string text = wb.Text();
    WriteFileBytes(dir / "setup.fss", std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    std::printf("setup.fss\n");
    uint32_t host = setup.Pak().Trailer().DataStart;
    std::vector<uint8_t> stub = setup.File().ReadVector(0, host);
    if (stub.size() != host) throw SetupError("the host program is cut short");
    WriteFileBytes(dir / "setup-stub.exe", stub);
    std::printf("setup-stub.exe\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ferryc extract: %s\n", e.what());
    ok = false;
  }
  for (const std::string& n : wb.notes) std::fprintf(stderr, "note: %s\n", n.c_str());
  return ok ? 0 : 1;
}

const ToolCommandRegistration kExtract{
    {"extract", "SETUP DIR [--group N]", "write a setup's files (and its script) to a folder", RunExtract}};

}  // namespace

}  // namespace ferry::tool
