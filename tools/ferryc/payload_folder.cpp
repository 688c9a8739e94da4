#include "payload_folder.h"

#include <algorithm>
#include <system_error>
#include <unordered_map>

#include "base/setup_error.h"
#include "base/text.h"
#include "engine/path_safety.h"
#include "host_paths.h"

namespace fs = std::filesystem;

namespace ferry::tool {

std::vector<ListedFile> ListPayloadFolder(const fs::path& folder, std::vector<std::string>& problems) {
  std::vector<ListedFile> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec), end;
  if (ec) {
    problems.push_back("cannot list folder '" + folder.string() + "': " + ec.message());
    return files;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      problems.push_back("cannot list below '" + folder.string() + "': " + ec.message());
      break;
    }
    std::error_code sec;
    if (!it->is_regular_file(sec)) continue;
    fs::path rel = fs::relative(it->path(), folder, sec);
    std::string name;
    bool ok = !sec;
    bool backslash = false;
    for (const auto& part : rel) {
      auto ansi = AnsiFromPath(part);
      if (!ansi) {
        ok = false;
        break;
      }
      backslash = backslash || ansi->find('\\') != std::string::npos;
      if (!name.empty()) name += '\\';
      name += *ansi;
    }
    if (!ok) {
      problems.push_back("file name '" + rel.string() + "' cannot be written in the Windows code page");
      continue;
    }
    // A backslash inside a host name would read as a separator on Windows.
    std::string why = backslash ? "a name on this system holds '\\'" : WindowsNameProblem(name);
    if (!why.empty()) {
      problems.push_back("file '" + name + "' cannot be created on Windows: " + why);
      continue;
    }
    uint64_t size = it->file_size(sec);
    if (sec) {
      problems.push_back("cannot read the size of '" + it->path().string() + "': " + sec.message());
      continue;
    }
    files.push_back({std::move(name), it->path(), size});
  }
  std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) { return a.Name < b.Name; });
  // Windows would keep only one of two names that differ in letter case.
  std::unordered_map<std::string, const ListedFile*> seen;
  for (const ListedFile& f : files) {
    auto [pos, added] = seen.emplace(AsciiLowerCopy(f.Name), &f);
    if (!added)
      problems.push_back("'" + pos->second->Name + "' and '" + f.Name +
                         "' differ only in letter case; Windows cannot hold both");
  }
  return files;
}

std::vector<ListedFile> ListPayloadFolderOrThrow(const fs::path& folder) {
  std::vector<std::string> problems;
  std::vector<ListedFile> files = ListPayloadFolder(folder, problems);
  if (problems.empty()) return files;
  std::string text = problems[0];
  for (size_t i = 1; i < problems.size(); ++i) text += "\n" + problems[i];
  throw SetupError(text);
}

}  // namespace ferry::tool
