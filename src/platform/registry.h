// The registry under its five predefined roots, by index:
// 0 HKEY_LOCAL_MACHINE, 1 HKEY_CURRENT_USER, 2 HKEY_CLASSES_ROOT,
// 3 HKEY_USERS, 4 HKEY_CURRENT_CONFIG. Key paths and values are 8-bit texts
// in the system code page.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ferry {

// The predefined key of a root index; nullptr for any other index.
HKEY RootKeyHandle(int index);

// One open key, closed with the object.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(RegKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens `path` below `root`; with `create` missing keys are created. The
  // result IsOpen() only when that worked.
  static RegKey Open(HKEY root, const std::string& path, bool create, bool readOnly = false);
  static RegKey Open(int rootIndex, const std::string& path, bool create, bool readOnly = false);

  bool IsOpen() const { return key_ != nullptr; }
  // A string value (REG_SZ or REG_EXPAND_SZ, unexpanded); none when the value
  // is missing or not a string. The empty name is the key's default value.
  std::optional<std::string> ReadString(const std::string& name) const;
  bool WriteString(const std::string& name, const std::string& value);
  // A REG_DWORD value; none when missing or of another type.
  std::optional<uint32_t> ReadDword(const std::string& name) const;
  bool WriteDword(const std::string& name, uint32_t value);
  bool DeleteValue(const std::string& name);
  // Whether a value of any type has that name.
  bool HasValue(const std::string& name) const;
  // No value and no subkey; false also when the key cannot be asked.
  bool IsEmpty() const;
  void Close();

 private:
  explicit RegKey(HKEY key) : key_(key) {}
  HKEY key_ = nullptr;
};

bool RegKeyExists(HKEY root, const std::string& path);
// Deletes the key when it has no subkey (its values go with it).
bool DeleteLeafKey(HKEY root, const std::string& path);
// Deletes the key with everything below it.
bool DeleteRegKey(HKEY root, const std::string& path);

}  // namespace ferry
