#include <gtest/gtest.h>

#include "engine/setup_name.h"
#include "base/text_helpers.h"

namespace ferry {
namespace {

TEST(FormatByteSize, DividesByTenTwentyFourUpToGigabytes) {
  EXPECT_EQ(FormatByteSize(0), "0.00 Bytes");
  EXPECT_EQ(FormatByteSize(1000), "1000.00 Bytes");
  EXPECT_EQ(FormatByteSize(1023), "1023.00 Bytes");
  EXPECT_EQ(FormatByteSize(1024), "1.00 KB");
  EXPECT_EQ(FormatByteSize(1536), "1.50 KB");
  EXPECT_EQ(FormatByteSize(5368709120ull), "5.00 GB");
  EXPECT_EQ(FormatByteSize(5ull << 40), "5120.00 GB");
  EXPECT_EQ(FormatByteSize(3ull << 20), "3.00 MB");
  EXPECT_EQ(FormatByteSize(UINT64_MAX), "17179869184.00 GB");
}

TEST(RootKeys, OnlyShortNamesAreRecognised) {
  EXPECT_EQ(RootKeyIndex("hkcu"), 1);
  EXPECT_EQ(RootKeyIndex("HKEY_CURRENT_USER"), 0);
  EXPECT_EQ(RootKeyIndex("HKLM"), 0);
  EXPECT_EQ(RootKeyIndex("hkcr"), 2);
  EXPECT_EQ(RootKeyIndex("Hku"), 3);
  EXPECT_EQ(RootKeyIndex("HKCC"), 4);
  EXPECT_EQ(RootKeyIndex(""), 0);
  EXPECT_EQ(RootKeyName(1), "HKEY_CURRENT_USER");
  EXPECT_EQ(RootKeyName(4), "HKEY_CURRENT_CONFIG");
  EXPECT_EQ(RootKeyName(5), "!ERROR!");
  EXPECT_EQ(RootKeyName(-1), "!ERROR!");
  EXPECT_EQ(RootKeyShortName(3), "HKU");
}

TEST(TextHelpers, TrailingBackslashNumbersAndEquals) {
  EXPECT_EQ(IncludeTrailingBackslash(""), "");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x"), "C:\\x\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\x\\"), "C:\\x\\");

  EXPECT_EQ(StrToIntOrMinus1("12"), 12);
  EXPECT_EQ(StrToIntOrMinus1("0"), 0);
  EXPECT_EQ(StrToIntOrMinus1("-7"), -7);
  EXPECT_EQ(StrToIntOrMinus1("+7"), 7);
  EXPECT_EQ(StrToIntOrMinus1("abc"), -1);
  EXPECT_EQ(StrToIntOrMinus1("12a"), -1);
  EXPECT_EQ(StrToIntOrMinus1(""), -1);
  EXPECT_EQ(StrToIntOrMinus1("+"), -1);
  EXPECT_EQ(StrToIntOrMinus1("99999999999"), -1);

  EXPECT_EQ(SplitAtEquals("key=value=x"), (std::pair<std::string, std::string>{"key", "value=x"}));
  EXPECT_EQ(SplitAtEquals("novalue"), (std::pair<std::string, std::string>{"", "novalue"}));
  EXPECT_EQ(SplitAtEquals("=v"), (std::pair<std::string, std::string>{"", "v"}));
}

TEST(SetupName, CopyNumbersInBracketsAreAccepted) {
  EXPECT_TRUE(MatchesSetupName("setup.exe", "setup.exe"));
  EXPECT_TRUE(MatchesSetupName("setup(2).exe", "setup.exe"));
  EXPECT_TRUE(MatchesSetupName("setup[1].exe", "setup.exe"));
  EXPECT_TRUE(MatchesSetupName("name(3).exe", "name.exe"));
  EXPECT_TRUE(MatchesSetupName("name[12].exe", "name.exe"));
  EXPECT_TRUE(MatchesSetupName("name().exe", "name.exe"));
  EXPECT_TRUE(MatchesSetupName("name(2)[3].exe", "name.exe"));
}

TEST(SetupName, OtherNamesAreRefused) {
  EXPECT_FALSE(MatchesSetupName("setup(10).exe", "setup.exe"));
  EXPECT_FALSE(MatchesSetupName("setup(a).exe", "setup.exe"));
  EXPECT_FALSE(MatchesSetupName("name(0).exe", "name.exe"));
  EXPECT_FALSE(MatchesSetupName("name (copy).exe", "name.exe"));
  EXPECT_FALSE(MatchesSetupName("name (2).exe", "name.exe"));  // the blank stays
  EXPECT_FALSE(MatchesSetupName("Setup.exe", "setup.exe"));
  EXPECT_FALSE(MatchesSetupName("other.exe", "setup.exe"));
  EXPECT_EQ(NormaliseSetupName("a(1.exe"), "a(1.exe");  // unclosed stays
  EXPECT_EQ(NormaliseSetupName("a(x)(2).exe"), "a(x).exe");
}

}  // namespace
}  // namespace ferry
