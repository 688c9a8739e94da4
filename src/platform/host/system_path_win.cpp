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

NativePath SystemPath(std::string_view codePagePath) {
  const std::u16string wide = CodePageToUtf16(codePagePath);
  return LongFormPath(std::wstring(wide.begin(), wide.end()));
}

NativePath HostPath(std::string_view setupPath) { return SystemPath(setupPath); }

NativePath PathFromUtf8(std::string_view utf8) {
  const std::u16string wide = Utf8ToUtf16(utf8);
  return std::wstring(wide.begin(), wide.end());
}

NativePath LongFormPath(NativePath path) {
  const std::wstring& s = path.native();
  if (s.size() < kLongFormFrom || StartsWith(s, L"\\\\?\\") || StartsWith(s, L"\\\\.\\")) return path;
  std::wstring full = FullPath(s);
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  return path;
}

std::string PathText(const NativePath& path) {
  const std::wstring& s = path.native();
  return CodePageFromUtf16(std::u16string(s.begin(), s.end()));
}

PathKind KindOfPath(const NativePath& path) {
  DWORD a = GetFileAttributesW(LongFormPath(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool CreateOneFolder(const NativePath& path, std::error_code& ec) {
  ec.clear();
  if (CreateDirectoryW(LongFormPath(path).c_str(), nullptr)) return true;
  DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) ec.assign(static_cast<int>(error), std::system_category());
  return false;
}

bool DeleteFileAtPath(const NativePath& path) { return DeleteFileW(LongFormPath(path).c_str()) != 0; }

bool RemoveFolderAtPath(const NativePath& path) { return RemoveDirectoryW(LongFormPath(path).c_str()) != 0; }

bool RenamePath(const NativePath& from, const NativePath& to) {
  return MoveFileExW(LongFormPath(from).c_str(), LongFormPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

bool CopyFileAtPath(const NativePath& from, const NativePath& to, bool failIfExists) {
  return CopyFileW(LongFormPath(from).c_str(), LongFormPath(to).c_str(), failIfExists) != 0;
}

bool HasReadOnlyMark(const NativePath& path) {
  DWORD a = GetFileAttributesW(LongFormPath(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool ClearReadOnlyMark(const NativePath& path) {
  const NativePath p = LongFormPath(path);
  DWORD a = GetFileAttributesW(p.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  return SetFileAttributesW(p.c_str(), a & ~DWORD{FILE_ATTRIBUTE_READONLY}) != 0;
}

std::vector<FolderItem> ListFolder(const NativePath& folder) {
  std::wstring pattern = folder.native();
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  std::vector<FolderItem> items;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(LongFormPath(pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return items;
  do {
    const std::wstring_view name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderItem item;
    item.Name = PathText(std::wstring(name));
    item.IsFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.IsReadOnly = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (!item.IsFolder) item.Size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    items.push_back(std::move(item));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return items;
}

}  // namespace ferry
