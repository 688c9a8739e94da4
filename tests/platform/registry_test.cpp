#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>

namespace ferry {
namespace {

const std::string kKey = "Software\\FerryPlatformTest";

class PlatformRegistry : public ::testing::Test {
 protected:
  void TearDown() override { DeleteRegKey(HKEY_CURRENT_USER, kKey); }
};

TEST_F(PlatformRegistry, RootIndexesMapToThePredefinedKeys) {
  EXPECT_EQ(RootKeyHandle(0), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RootKeyHandle(1), HKEY_CURRENT_USER);
  EXPECT_EQ(RootKeyHandle(2), HKEY_CLASSES_ROOT);
  EXPECT_EQ(RootKeyHandle(3), HKEY_USERS);
  EXPECT_EQ(RootKeyHandle(4), HKEY_CURRENT_CONFIG);
  EXPECT_EQ(RootKeyHandle(5), nullptr);
  EXPECT_EQ(RootKeyHandle(-1), nullptr);
  EXPECT_FALSE(RegKey::Open(7, "Software", false).IsOpen());
}

TEST_F(PlatformRegistry, WriteReadDeleteValuesAndKeys) {
  EXPECT_FALSE(RegKey::Open(1, kKey, false).IsOpen());
  {
    RegKey key = RegKey::Open(1, kKey + "\\Sub", true);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(key.WriteString("InstallDir", "C:\\Games\\Demo"));
    EXPECT_TRUE(key.WriteString("", "default value"));
    EXPECT_TRUE(key.WriteString("Empty", ""));
  }
  RegKey key = RegKey::Open(HKEY_CURRENT_USER, kKey + "\\Sub", false, true);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_EQ(key.ReadString("InstallDir"), "C:\\Games\\Demo");
  EXPECT_EQ(key.ReadString("installdir"), "C:\\Games\\Demo");  // names ignore case
  EXPECT_EQ(key.ReadString(""), "default value");
  EXPECT_EQ(key.ReadString("Empty"), "");
  EXPECT_FALSE(key.ReadString("Missing").has_value());
  EXPECT_FALSE(key.WriteString("x", "y"));  // opened read-only
  key.Close();

  RegKey rw = RegKey::Open(1, kKey + "\\Sub", false);
  EXPECT_TRUE(rw.DeleteValue("InstallDir"));
  EXPECT_FALSE(rw.DeleteValue("InstallDir"));
  EXPECT_FALSE(rw.ReadString("InstallDir").has_value());
  rw.Close();

  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kKey + "\\Sub"));
  EXPECT_TRUE(DeleteRegKey(HKEY_CURRENT_USER, kKey));  // with its subkey
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey));
  EXPECT_FALSE(DeleteRegKey(HKEY_CURRENT_USER, kKey));
  EXPECT_FALSE(DeleteRegKey(HKEY_CURRENT_USER, ""));  // never a whole root
}

TEST_F(PlatformRegistry, NonStringValuesDoNotReadAsText) {
  RegKey key = RegKey::Open(1, kKey, true);
  ASSERT_TRUE(key.IsOpen());
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\FerryPlatformTest", 0, KEY_WRITE, &raw), ERROR_SUCCESS);
  DWORD v = 5;
  ASSERT_EQ(RegSetValueExW(raw, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v)),
            ERROR_SUCCESS);
  RegCloseKey(raw);
  EXPECT_FALSE(key.ReadString("Number").has_value());
}

TEST_F(PlatformRegistry, MachineKeysAreWritableUnderWine) {
  const std::string key = "SOFTWARE\\FerryPlatformTest";
  {
    RegKey k = RegKey::Open(0, key, true);
    ASSERT_TRUE(k.IsOpen());
    EXPECT_TRUE(k.WriteString("Path", "D:\\x"));
  }
  EXPECT_EQ(RegKey::Open(0, key, false, true).ReadString("Path"), "D:\\x");
  EXPECT_TRUE(DeleteRegKey(HKEY_LOCAL_MACHINE, key));
}

}  // namespace
}  // namespace ferry
