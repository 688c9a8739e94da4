#include "platform/registry.h"

#include <vector>

#include "platform/win_text.h"

namespace ferry {

HKEY RootKeyHandle(int index) {
  switch (index) {
    case 0: return HKEY_LOCAL_MACHINE;
    case 1: return HKEY_CURRENT_USER;
    case 2: return HKEY_CLASSES_ROOT;
    case 3: return HKEY_USERS;
    case 4: return HKEY_CURRENT_CONFIG;
    default: return nullptr;
  }
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = other.key_;
    other.key_ = nullptr;
  }
  return *this;
}

RegKey RegKey::Open(HKEY root, const std::string& path, bool create, bool readOnly) {
  if (!root) return RegKey();
  std::wstring wide = AnsiToWide(path);
  REGSAM access = readOnly ? KEY_READ : KEY_READ | KEY_WRITE;
  HKEY key = nullptr;
  LONG rc = create ? RegCreateKeyExW(root, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                     &key, nullptr)
                   : RegOpenKeyExW(root, wide.c_str(), 0, access, &key);
  return rc == ERROR_SUCCESS ? RegKey(key) : RegKey();
}

RegKey RegKey::Open(int rootIndex, const std::string& path, bool create, bool readOnly) {
  return Open(RootKeyHandle(rootIndex), path, create, readOnly);
}

std::optional<std::string> RegKey::ReadString(const std::string& name) const {
  if (!key_) return std::nullopt;
  std::wstring wname = AnsiToWide(name);
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key_, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(buffer.data(), std::min<size_t>(size / sizeof(wchar_t), buffer.size()));
  // The stored string may or may not carry its terminator.
  size_t nul = value.find(L'\0');
  if (nul != std::wstring::npos) value.resize(nul);
  return WideToAnsi(value);
}

bool RegKey::WriteString(const std::string& name, const std::string& value) {
  if (!key_) return false;
  std::wstring wvalue = AnsiToWide(value);
  DWORD bytes = static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key_, AnsiToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wvalue.c_str()),
                        bytes) == ERROR_SUCCESS;
}

std::optional<uint32_t> RegKey::ReadDword(const std::string& name) const {
  if (!key_) return std::nullopt;
  DWORD type = 0, data = 0, size = sizeof(data);
  if (RegQueryValueExW(key_, AnsiToWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(data))
    return std::nullopt;
  return data;
}

bool RegKey::WriteDword(const std::string& name, uint32_t value) {
  if (!key_) return false;
  DWORD data = value;
  return RegSetValueExW(key_, AnsiToWide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof(data)) == ERROR_SUCCESS;
}

bool RegKey::DeleteValue(const std::string& name) {
  return key_ && RegDeleteValueW(key_, AnsiToWide(name).c_str()) == ERROR_SUCCESS;
}

bool RegKey::HasValue(const std::string& name) const {
  return key_ && RegQueryValueExW(key_, AnsiToWide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegKey::IsEmpty() const {
  if (!key_) return false;
  DWORD subkeys = 0, values = 0;
  LONG rc = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr);
  return rc == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

void RegKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool RegKeyExists(HKEY root, const std::string& path) { return RegKey::Open(root, path, false, true).IsOpen(); }

bool DeleteLeafKey(HKEY root, const std::string& path) {
  if (!root || path.empty()) return false;
  return RegDeleteKeyW(root, AnsiToWide(path).c_str()) == ERROR_SUCCESS;
}

bool DeleteRegKey(HKEY root, const std::string& path) {
  if (!root || path.empty()) return false;  // never the whole root
  return RegDeleteTreeW(root, AnsiToWide(path).c_str()) == ERROR_SUCCESS;
}

}  // namespace ferry
