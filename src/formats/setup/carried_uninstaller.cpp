#include "formats/setup/carried_uninstaller.h"

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

NativePath UninstallSideFileOf(const NativePath& uninstallerPath) {
  return NativePath(SideFilePath(std::basic_string_view<NativePath::value_type>(uninstallerPath.native())));
}

}  // namespace ferry
