#include "engine/commands/command_runtime.h"

#include <memory>
#include <vector>

#include "base/file_system.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "engine/system.h"

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::u16string TextWithFileName(const SetupContext& ctx, int number, std::string_view fileName) {
  return LanguageList::ReplaceAll(ctx.Languages.GetText(number), u"<%FILENAME%>", CodePageToUtf16(fileName));
}

bool RegistryCondition(System& system, std::string_view root, const std::string& key, const std::string& valueName,
                       std::string_view expected, std::string_view negate) {
  std::optional<std::string> value = system.ReadRegistryString(RootKeyIndex(root), key, valueName);
  bool matches = value && *value == expected;
  std::string lower = AsciiLowerCopy(negate);
  bool inverted = negate == "0" || lower == "false" || lower == "f";
  return inverted ? !matches : matches;
}

std::vector<std::string> ClearFolderTree(FileSystem& files, const std::string& folder) {
  std::vector<std::string> stayed;
  if (!files.DirectoryExists(folder)) return stayed;
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
          if (!files.RemoveFile(path)) stayed.push_back(path);
        } else if (f.IsLink) {
          // The link only, never what it points to.
          if (!files.RemoveDirectory(path)) stayed.push_back(path);
        } else {
          work.push_back({path, false});
        }
      }
      continue;
    }
    // Its subfolders are done (removed or given up); one try, then it is
    // dropped either way, so a locked file cannot keep the loop going.
    if (!files.RemoveDirectory(work.back().Path)) stayed.push_back(work.back().Path);
    work.pop_back();
  }
  return stayed;
}

std::optional<uint32_t> RunLineProgram(SetupContext& ctx, const CommandRun& run, CompLine& line, std::string& why) {
  line.SetParam(1, ctx.ExpandPathVars(line.Param(1)));
  const std::string& file = line.Param(1);
  const std::string parameters = line.Params.size() >= 2 ? line.Param(2) : std::string();  // as written
  std::unique_ptr<StartedProgram> program;
  if (!run.System || !run.System->StartProgram(file, parameters, &program)) {
    why = file + " could not be started";
    return std::nullopt;
  }
  if (!program) return std::nullopt;
  for (;;) {
    if (std::optional<uint32_t> code = program->Wait(1)) return code;
    if (ctx.Record.MustStop() || ctx.StopRequested.load() != 0) return std::nullopt;
  }
}

}  // namespace ferry
