#include "engine/commands/command_runtime_win.h"

#include <windows.h>

#include <vector>

#include "base/text.h"
#include "engine/setup_context.h"
#include "base/text_helpers.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }


}  // namespace

TCompLine* CommandLine(TSetupContext& ctx, int lineIndex) {
  if (lineIndex < 0 || static_cast<size_t>(lineIndex) >= ctx.CompLines.Count()) return nullptr;
  return &ctx.CompLines.Lines[static_cast<size_t>(lineIndex)];
}

std::function<void(const std::string&)> LogCreatedDirectory(TSetupContext& ctx) {
  return [&ctx](const std::string& dir) { ctx.InstallLog.AddDirectory(dir); };
}

std::u16string TextWithFileName(const TSetupContext& ctx, int number, std::string_view fileName) {
  return TLanguages::ReplaceAll(ctx.Languages.GetText(number), u"<%FILENAME%>", AnsiToU16(fileName));
}

std::string FolderOf(std::string_view path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

bool RegistryValueMatches(std::string_view root, const std::string& key, const std::string& valueName,
                          std::string_view expected) {
  RegKey k = RegKey::Open(RootKeyIndex(root), key, true);
  if (!k.IsOpen()) return false;
  return k.ReadString(valueName).value_or(std::string()) == expected;
}

bool RegistryCondition(std::string_view root, const std::string& key, const std::string& valueName,
                       std::string_view expected, std::string_view negate) {
  bool matches = RegistryValueMatches(root, key, valueName, expected);
  std::string lower = AsciiLowerCopy(negate);
  bool inverted = negate == "0" || lower == "false" || lower == "f";
  return inverted ? !matches : matches;
}

void ClearFolderTree(const std::string& folder) {
  if (!DirectoryExists(folder)) return;
  struct Item {
    std::string Path;
    bool Listed = false;
  };
  std::vector<Item> work{{folder, false}};
  while (!work.empty()) {
    if (!work.back().Listed) {
      work.back().Listed = true;
      std::string dir = work.back().Path;
      if (!dir.empty() && !IsSeparator(dir.back())) dir += '\\';
      for (const FoundFile& f : FindFiles(dir + "*")) {
        std::string path = dir + f.Name;
        if (!f.IsDirectory()) {
          DeleteFileAt(path);
        } else if (f.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          RemoveDirectoryAt(path);  // the link only, never what it points to
        } else {
          work.push_back({path, false});
        }
      }
      continue;
    }
    // Its subfolders are done (removed or given up); one try, then it is
    // dropped either way, so a locked file cannot keep the loop going.
    RemoveDirectoryAt(work.back().Path);
    work.pop_back();
  }
}

}  // namespace ferry
