#include "platform/private_folder.h"

#include <sddl.h>

#include <algorithm>

#include "base/random_name.h"
#include "base/scope_guard.h"
#include "base/setup_error.h"
#include "platform/files.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

constexpr size_t kTokenLength = 16;

bool IsPrivateFolderName(const std::wstring& name) {
  const std::wstring prefix = AnsiToWide(kPrivateFolderPrefix);
  if (name.size() != prefix.size() + kTokenLength || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i)
    if (!iswxdigit(name[i])) return false;
  return true;
}

// Open so that nobody can rename, replace or delete the folder meanwhile
// (no delete sharing); DELETE access lets this handle remove it at the end.
HANDLE OpenFolderHeld(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsLinkHandle(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info{};
  return !GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The names in the folder, read through its held handle (a look-up by name
// would have to open the folder again).
std::vector<FILE_ID_BOTH_DIR_INFO> ListFolder(HANDLE held, std::vector<std::wstring>& names) {
  std::vector<FILE_ID_BOTH_DIR_INFO> entries;
  alignas(8) uint8_t buffer[16 * 1024];
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(held, kind, buffer, sizeof buffer)) {
    kind = FileIdBothDirectoryInfo;
    for (size_t at = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer + at);
      std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        entries.push_back(*info);
        names.push_back(std::move(name));
      }
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
  return entries;
}

// Deletes the folder's files (links as links) and then the folder through
// its held handle. False when something stays.
bool EmptyAndRemove(const std::wstring& folder, HANDLE held) {
  std::vector<std::wstring> names;
  const std::vector<FILE_ID_BOTH_DIR_INFO> entries = ListFolder(held, names);
  bool clean = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::wstring path = folder + L"\\" + names[i];
    // The run makes no folders here: a folder or link to one is not ours.
    if (entries[i].FileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      clean = false;
      continue;
    }
    if (entries[i].FileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(path.c_str())) clean = false;
  }
  if (!clean) return false;
  FILE_DISPOSITION_INFO gone{TRUE};
  return SetFileInformationByHandle(held, FileDispositionInfo, &gone, sizeof gone) != 0;
}

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  std::wstring out = text;
  LocalFree(text);
  return out;
}

}  // namespace

bool ProcessIsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  return ok && elevation.TokenIsElevated != 0;
}

std::wstring ProcessUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  ScopeGuard close([token] { CloseHandle(token); });
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<uint8_t> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

std::wstring PrivateFolderDescriptorText(bool elevated, const std::wstring& userSid) {
  // P: protected, nothing inherited; OICI: its files and folders inherit the
  // entry; FA: full access. BA: the administrators, SY: the system.
  const std::wstring who = elevated ? L"BA" : userSid;
  return L"D:P(A;OICI;FA;;;" + who + L")(A;OICI;FA;;;SY)";
}

PrivateFolder::~PrivateFolder() {
  for (HANDLE h : held_) CloseHandle(h);
  if (folder_ == INVALID_HANDLE_VALUE) return;
  if (!handed_over_) EmptyAndRemove(path_.substr(0, path_.size() - 1), folder_);
  CloseHandle(folder_);
}

NativePath PrivateFolder::Folder() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!tried_) {
    tried_ = true;
    if (!Create()) path_.clear();
  }
  return NativePath(path_);
}

bool PrivateFolder::Create() {
  const std::wstring descriptorText = PrivateFolderDescriptorText(ProcessIsElevated(), ProcessUserSid());
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptorText.c_str(), SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return false;
  ScopeGuard free([descriptor] { LocalFree(descriptor); });
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const std::wstring temp = TempFolderWide();
  if (temp.empty()) return false;
  // A name that is taken (by chance, or planted) is never used: another one.
  for (int tries = 0; tries < 8; ++tries) {
    std::wstring wide;
    try {
      wide = LongFormPath(temp + AnsiToWide(kPrivateFolderPrefix) + AnsiToWide(RandomNameToken())).native();
    } catch (const SetupError&) {
      return false;
    }
    if (!CreateDirectoryW(wide.c_str(), &attributes)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    folder_ = OpenFolderHeld(wide);
    if (folder_ == INVALID_HANDLE_VALUE || IsLinkHandle(folder_)) {
      // Swapped between its creation and the open: not ours any more.
      if (folder_ != INVALID_HANDLE_VALUE) CloseHandle(folder_);
      folder_ = INVALID_HANDLE_VALUE;
      return false;
    }
    path_ = wide + L"\\";
    return true;
  }
  return false;
}

NativePath PrivateFolder::WriteNewFile(const std::wstring& name, std::span<const uint8_t> data) {
  const NativePath folder = Folder();
  if (folder.empty()) return {};
  const std::wstring wide = folder.native() + name;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
    ok = WriteFile(h, data.data() + done, want, &n, nullptr) && n > 0;
    done += n;
  }
  ok = CloseHandle(h) && ok;
  if (!ok) {
    DeleteFileW(wide.c_str());
    return {};
  }
  return NativePath(wide);
}

bool PrivateFolder::HoldAgainstWrites(const NativePath& path) {
  // Read sharing only: a program can still be started from it.
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  held_.push_back(h);
  return true;
}

HANDLE PrivateFolder::HandOver() {
  Folder();
  std::lock_guard<std::mutex> lock(mutex_);
  if (folder_ == INVALID_HANDLE_VALUE) return nullptr;
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), folder_, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
    return nullptr;
  handed_over_ = true;
  return copy;
}

void RemoveStalePrivateFolders() {
  const std::wstring base = TempFolderWide();
  if (base.empty()) return;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((base + AnsiToWide(kPrivateFolderPrefix) + L"*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    if (!IsPrivateFolderName(fd.cFileName)) continue;
    const std::wstring folder = base + fd.cFileName;
    // A run that still works holds its folder without delete sharing, so
    // this open fails for it.
    HANDLE held = OpenFolderHeld(folder);
    if (held == INVALID_HANDLE_VALUE) continue;
    if (!IsLinkHandle(held)) EmptyAndRemove(folder, held);
    CloseHandle(held);
  } while (FindNextFileW(find, &fd));
  FindClose(find);
}

}  // namespace ferry
