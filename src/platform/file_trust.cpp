#include "platform/file_trust.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "base/scope_guard.h"
#include "platform/private_folder.h"
#include "platform/win_text.h"

namespace ferry {

namespace {

// The installer service's account: it owns what the system's own
// installations write.
constexpr wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

HANDLE OpenForInspection(const std::wstring& path) {
  return CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The owner's SID, copied; empty when it cannot be read.
std::vector<uint8_t> OwnerOf(HANDLE h) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return {};
  ScopeGuard free([descriptor] { LocalFree(descriptor); });
  if (!owner || !IsValidSid(owner)) return {};
  const auto* bytes = static_cast<const uint8_t*>(owner);
  return std::vector<uint8_t>(bytes, bytes + GetLengthSid(owner));
}

std::vector<uint8_t> OwnerOfPath(const std::wstring& path) {
  HANDLE h = OpenForInspection(path);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::vector<uint8_t> owner = OwnerOf(h);
  CloseHandle(h);
  return owner;
}

bool IsSid(const std::vector<uint8_t>& sid, const wchar_t* text) {
  PSID other = nullptr;
  if (!ConvertStringSidToSidW(text, &other)) return false;
  const bool same = EqualSid(const_cast<uint8_t*>(sid.data()), other) != 0;
  LocalFree(other);
  return same;
}

bool IsTrustedOwner(const std::vector<uint8_t>& owner, PrivateFolder& own) {
  if (owner.empty()) return false;
  if (IsSid(owner, L"BA") || IsSid(owner, L"SY") || IsSid(owner, kTrustedInstallerSid)) return true;
  const NativePath folder = own.Folder();
  if (!folder.empty()) return owner == OwnerOfPath(folder.native());
  // No folder of our own to compare with: only a process of normal rights
  // may trust its user's files.
  return !ProcessIsElevated() && IsSid(owner, ProcessUserSid().c_str());
}

}  // namespace

std::string WhyFileNotTrusted(const std::string& path, PrivateFolder& own) {
  HANDLE h = OpenForInspection(WinPath(path));
  if (h == INVALID_HANDLE_VALUE) return "it cannot be opened to check who wrote it";
  ScopeGuard close([h] { CloseHandle(h); });
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return "it cannot be opened to check who wrote it";
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return "it is a link to another file";
  if (info.nNumberOfLinks > 1) return "it is a second name of another file (a hard link)";
  if (!IsTrustedOwner(OwnerOf(h), own)) return "it was written by a program without administrator rights";
  return {};
}

}  // namespace ferry
