#include "formats/setup/carried_uninstaller.h"

#include "base/text.h"
#include "formats/setup/setup_info.h"

namespace ferry {

namespace {

template <class Char>
std::basic_string<Char> SideFilePath(std::basic_string_view<Char> path) {
  const Char separators[] = {Char('\\'), Char('/'), Char(0)};
  const size_t nameStart = path.find_last_of(separators) + 1;  // npos + 1: 0
  const size_t dot = path.rfind(Char('.'));
  const bool hasExtension = dot != std::basic_string_view<Char>::npos && dot > nameStart;
  std::basic_string<Char> side(hasExtension ? path.substr(0, dot) : path);
  for (char c : std::string_view(".dat")) side.push_back(Char(c));
  return side;
}

}  // namespace

std::string UninstallSideFilePath(std::string_view uninstallerPath) { return SideFilePath(uninstallerPath); }

std::optional<std::string> UninstallerEntryName(std::string_view setupEntry, uint16_t group) {
  constexpr std::string_view kPrefix = "UNINSTALL_";
  if (group != 0 || !StartsWithNoCase(setupEntry, kPrefix) || EqualsNoCase(setupEntry, kUninstallIconEntry))
    return std::nullopt;
  return std::string(setupEntry.substr(kPrefix.size()));
}

std::vector<uint8_t> UninstallerSetupInfo(const SetupInfoRecord& info) {
  SetupInfoFile file;
  file.Info() = info;
  file.IsUninstaller = 1;
  return file.WriteToBuffer();
}

NativePath UninstallSideFileOf(const NativePath& uninstallerPath) {
  return NativePath(SideFilePath(std::basic_string_view<NativePath::value_type>(uninstallerPath.native())));
}

}  // namespace ferry
