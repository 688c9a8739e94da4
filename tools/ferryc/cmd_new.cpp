// ferryc new FOLDER
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/random_access_file.h"
#include "starter_files.h"
#include "tool_command.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc new FOLDER\n"
    "\n"
    "Writes a starter setup into FOLDER (made when missing; it must be empty):\n"
    "  setup.fss              the script: settings, pages, one payload group\n"
    "  layouts\\, uninstall\\   the wizard's and the uninstaller's pages\n"
    "  languages\\*.wri        the texts in ten languages; the setup shows the\n"
    "                         system's language, else English\n"
    "  images\\side.bmp        a placeholder side picture\n"
    "  Files\\readme.txt       a sample file to install\n"
    "It compiles as it stands: ferryc compile FOLDER/setup.fss --stub STUB\n"
    "Exit status: 0 written, 1 FOLDER is not an empty folder or a file could\n"
    "not be written (then nothing is), 2 bad usage.\n";

int RunNew(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::fputs(kHelp, stderr);
    return 2;
  }
  fs::path dir = args[0];
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (!fs::is_directory(dir, ec)) {
      std::fprintf(stderr, "ferryc new: '%s' is not a folder\n", args[0].c_str());
      return 1;
    }
    if (!fs::is_empty(dir, ec) || ec) {
      std::fprintf(stderr, "ferryc new: '%s' is not empty; give a new or empty folder\n", args[0].c_str());
      return 1;
    }
  }
  // All or nothing: written into a scratch folder beside FOLDER, which
  // then takes its name; a failure removes the scratch folder.
  if (!dir.has_filename()) dir = dir.parent_path();
  fs::path parent = dir.parent_path();
  if (parent.empty()) parent = ".";
  fs::path scratch;
  for (int n = 0; scratch.empty() || fs::exists(scratch, ec); ++n)
    scratch = parent / ("~ferryc-new-" + std::to_string(n) + "-" + dir.filename().string());
  std::vector<std::string> written;
  try {
    for (const StarterFile& f : StarterFiles()) {
      fs::path target = scratch / fs::path(f.Path);
      fs::create_directories(target.parent_path(), ec);
      WriteFileBytes(target, f.Bytes);  // throws SetupError with the path
      written.push_back((dir / fs::path(f.Path)).generic_string());
    }
    if (fs::exists(dir, ec)) fs::remove(dir);  // empty, checked above
    fs::rename(scratch, dir);
  } catch (const std::exception& e) {
    fs::remove_all(scratch, ec);
    std::fprintf(stderr, "ferryc new: %s; nothing was written\n", e.what());
    return 1;
  }
  for (const std::string& path : written) std::printf("%s\n", path.c_str());
  return 0;
}

const ToolCommandRegistration kNew{{"new", "FOLDER", "write a starter setup into an empty folder", RunNew}};

}  // namespace

}  // namespace ferry::tool
