#include "formats/install_log/registry_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace ferry {
namespace {

TEST(RegistryRecordTest, FourQuotedFieldsSeparatedBySingleBlanks) {
  std::string r = MakeRegistryRecord("HKLM", "Software\\Demo\\", "Version", "1.2");
  EXPECT_EQ(r, "\"HKLM\" \"Software\\Demo\\\" \"Version\" \"1.2\"");
  EXPECT_EQ(r.size(), 39u);
  EXPECT_EQ(MakeRegistryRecord("HKCR", "demo", "", ""), "\"HKCR\" \"demo\" \"\" \"\"");
}

TEST(RegistryRecordTest, SplitGivesBackWhatWasRecorded) {
  for (auto [root, key, name, data] :
       {std::array<const char*, 4>{"HKCU", "Software\\Tidewater Atlas\\", "Patch Folder", "$INSTDIR\\x y"},
        std::array<const char*, 4>{"hkcu", "a", "", ""},
        std::array<const char*, 4>{"HKCR", "demo\\shell\\open\\command\\", "", ""}}) {
    auto r = SplitRegistryRecord(MakeRegistryRecord(root, key, name, data));
    ASSERT_TRUE(r) << key;
    EXPECT_EQ(r->Root, root);
    EXPECT_EQ(r->Key, key);
    EXPECT_EQ(r->ValueName, name);
    EXPECT_EQ(r->Data, data);
  }
}

TEST(RegistryRecordTest, BlanksAndTabsOutsideQuotesSeparateAndThreeWordsAreEnough) {
  auto r = SplitRegistryRecord("HKCU\t Software\\X  \"Value Name\"");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Root, "HKCU");
  EXPECT_EQ(r->Key, "Software\\X");
  EXPECT_EQ(r->ValueName, "Value Name");
  EXPECT_EQ(r->Data, "");
}

TEST(RegistryRecordTest, RecordsThatDoNotSplitIntoTheirFieldsAreRefused) {
  EXPECT_FALSE(SplitRegistryRecord(""));
  EXPECT_FALSE(SplitRegistryRecord("   "));
  EXPECT_FALSE(SplitRegistryRecord("\"HKLM\" \"Software\""));               // no value name
  EXPECT_FALSE(SplitRegistryRecord("\"HKLM\" \"Software\\X\" \"Value"));    // quote never closes
  EXPECT_FALSE(SplitRegistryRecord("\"HKLM\" \"\" \"Value\" \"\""));          // a value of the root itself
  EXPECT_FALSE(SplitRegistryRecord("\"HKLM\" \"K\" \"V\" \"D\" \"extra\""));  // five fields
}

TEST(RegistryRecordTest, RootNamesAreComparedUpperCasedAndUnknownOnesMeanLocalMachine) {
  EXPECT_EQ(RecordRootIndex("HKLM"), 0);
  EXPECT_EQ(RecordRootIndex("hkcu"), 1);
  EXPECT_EQ(RecordRootIndex("HkCr"), 2);
  EXPECT_EQ(RecordRootIndex("HKU"), 3);
  EXPECT_EQ(RecordRootIndex("hkcc"), 4);
  EXPECT_EQ(RecordRootIndex("HKEY_CURRENT_USER"), 0);
  EXPECT_EQ(RecordRootIndex(""), 0);
}

}  // namespace
}  // namespace ferry
