#include "engine/commands/command_runtime.h"

#include <vector>

#include "base/file_system.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::u16string TextWithFileName(const SetupContext& ctx, int number, std::string_view fileName) {
  return TLanguages::ReplaceAll(ctx.Languages.GetText(number), u"<%FILENAME%>", CodePageToUtf16(fileName));
}

bool RegistryCondition(System& system, std::string_view root, const std::string& key, const std::string& valueName,
                       std::string_view expected, std::string_view negate) {
  std::optional<std::string> value = system.ReadRegistryString(RootKeyIndex(root), key, valueName);
  bool matches = value && *value == expected;
  std::string lower = AsciiLowerCopy(negate);
  bool inverted = negate == "0" || lower == "false" || lower == "f";
  return inverted ? !matches : matches;
}

void ClearFolderTree(FileSystem& files, const std::string& folder) {
  if (!files.DirectoryExists(folder)) return;
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
      for (const FoundFile& f : files.FindFiles(dir + "*")) {
        std::string path = dir + f.Name;
        if (!f.IsDirectory) {
          files.RemoveFile(path);
        } else if (f.IsLink) {
          files.RemoveDirectory(path);  // the link only, never what it points to
        } else {
          work.push_back({path, false});
        }
      }
      continue;
    }
    // Its subfolders are done (removed or given up); one try, then it is
    // dropped either way, so a locked file cannot keep the loop going.
    files.RemoveDirectory(work.back().Path);
    work.pop_back();
  }
}

}  // namespace ferry
