#include "platform/uninstall/file_identity.h"

#include <windows.h>

#include <optional>

#include "base/text.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

std::string CollapseBackslashes(std::string path) {
  std::string out;
  for (char c : path)
    if (!(c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1)) out += c;
  return out;
}

std::optional<BY_HANDLE_FILE_INFORMATION> Identity(const std::string& path) {
  HANDLE h = CreateFileW(WinPath(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info = {};
  BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return info;
}

}  // namespace

bool IsSameFile(const std::string& a, const std::string& b) {
  std::optional<BY_HANDLE_FILE_INFORMATION> x = Identity(a), y = Identity(b);
  if (x && y)
    return x->dwVolumeSerialNumber == y->dwVolumeSerialNumber && x->nFileIndexHigh == y->nFileIndexHigh &&
           x->nFileIndexLow == y->nFileIndexLow;
  return EqualsNoCase(CollapseBackslashes(a), CollapseBackslashes(b));
}

}  // namespace ferry
