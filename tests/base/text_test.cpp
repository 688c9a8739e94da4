#include <gtest/gtest.h>

#include "base/text.h"

namespace ferry {
namespace {

TEST(Text, CaseFoldingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(AsciiLowerCopy("SetupInfo\xC4"), "setupinfo\xC4");
  EXPECT_TRUE(EqualsNoCase("LANGUAGE-English", "language-ENGLISH"));
  EXPECT_FALSE(EqualsNoCase("\xC4", "\xE4"));
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_TRUE(StartsWithNoCase("UNINSTALL_ICON.ICO", "uninstall_"));
  EXPECT_FALSE(StartsWithNoCase("UNIN", "uninstall_"));
}

TEST(Text, Utf16RoundTripsThroughUtf8) {
  std::u16string s = u"Gr\u00FC\u00DFe \u4E16\u754C \U0001F600";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
  EXPECT_EQ(Utf16ToUtf8(u"A"), "A");
}

TEST(Text, BrokenUtf8AndLoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xFF" "b"), u"\uFFFD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, CodePageTextMapsTheWindowsRange) {
  EXPECT_EQ(CodePageToUtf16("\x80\xE9"), u"\u20AC\u00E9");
}

TEST(Text, ExactCodePageTextTakesNoStandIns) {
  EXPECT_EQ(CodePageFromUtf16Exactly(u"C:\\Caf\u00E9 \u20AC?"), "C:\\Caf\xE9 \x80?");
  // Neither "?" nor a best-fit look-alike ("A" for U+0100, "/" for U+2215).
  for (std::u16string_view s : {u"\u0100", u"\u2215", u"\u4E0B", u"\u041A", u"\uFFFD"})
    EXPECT_FALSE(CodePageFromUtf16Exactly(s)) << Utf16ToUtf8(s);
}

}  // namespace
}  // namespace ferry
