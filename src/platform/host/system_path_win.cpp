// Paths on Windows. The long form ("\\?\") is taken by every Windows without
// the system-wide long-path switch that a manifest's longPathAware needs;
// the system skips its own normalising for it, so GetFullPathNameW does that
// first (relative steps, "/" separators, doubled backslashes).
#include <windows.h>

#include "base/system_path.h"
#include "base/text.h"

namespace ferry {

namespace {

bool StartsWith(std::wstring_view s, std::wstring_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::wstring FullPath(const std::wstring& path) {
  std::wstring out(path.size() + MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
    if (n == 0) return {};
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.resize(n);  // n is the size needed, terminator included
  }
}

}  // namespace

std::filesystem::path SystemPath(std::string_view codePagePath) {
  const std::u16string wide = CodePageToUtf16(codePagePath);
  return LongFormPath(std::filesystem::path(std::wstring(wide.begin(), wide.end())));
}

std::filesystem::path HostPath(std::string_view setupPath) { return SystemPath(setupPath); }

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::filesystem::path LongFormPath(std::filesystem::path path) {
  const std::wstring& s = path.native();
  if (s.size() < kLongFormFrom || StartsWith(s, L"\\\\?\\") || StartsWith(s, L"\\\\.\\")) return path;
  std::wstring full = FullPath(s);
  if (StartsWith(full, L"\\\\")) return std::filesystem::path(L"\\\\?\\UNC\\" + full.substr(2));  // \\server\share
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return std::filesystem::path(L"\\\\?\\" + full);
  return path;
}

std::string PathText(const std::filesystem::path& path) { return CodePageFromUtf16(path.u16string()); }

PathKind KindOfPath(const std::filesystem::path& path) {
  DWORD a = GetFileAttributesW(LongFormPath(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool CreateOneFolder(const std::filesystem::path& path, std::error_code& ec) {
  ec.clear();
  if (CreateDirectoryW(LongFormPath(path).c_str(), nullptr)) return true;
  DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) ec.assign(static_cast<int>(error), std::system_category());
  return false;
}

bool DeleteFileAtPath(const std::filesystem::path& path) { return DeleteFileW(LongFormPath(path).c_str()) != 0; }

}  // namespace ferry
