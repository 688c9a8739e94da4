#include <gtest/gtest.h>

#include <string>

#include "base/setup_error.h"
#include "base/text.h"
#include "formats/layout/layout_syntax.h"

namespace ferry {
namespace {

std::vector<std::string> Lines(std::string_view text) {
  return SplitLines(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(LayoutSyntax, IntegersInDecimalAndEveryHexadecimalForm) {
  EXPECT_EQ(LayoutStrToInt("220"), 220);
  EXPECT_EQ(LayoutStrToInt("  -17"), -17);
  EXPECT_EQ(LayoutStrToInt("+5"), 5);
  EXPECT_EQ(LayoutStrToInt("$1F"), 31);
  EXPECT_EQ(LayoutStrToInt("0x1f"), 31);
  EXPECT_EQ(LayoutStrToInt("0X1F"), 31);
  EXPECT_EQ(LayoutStrToInt("x10"), 16);
  EXPECT_EQ(LayoutStrToInt("X10"), 16);
  EXPECT_EQ(LayoutStrToInt("-$10"), -16);
  EXPECT_EQ(LayoutStrToInt("0"), 0);
  EXPECT_EQ(LayoutStrToInt("2147483647"), 2147483647);
  EXPECT_EQ(LayoutStrToInt("-2147483648"), INT32_MIN);
  // Hexadecimal takes all 32 bits and wraps into the signed range.
  EXPECT_EQ(LayoutStrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(LayoutStrToInt("$000000000010"), 16);
}

TEST(LayoutSyntax, NonIntegersRaiseTheConversionErrorNamingTheText) {
  for (const char* bad : {"", " ", "abc", "12px", "12 ", "$", "0x", "-", "1.5", "2147483648", "-2147483649",
                          "$100000000", "\t3", "$G1"}) {
    try {
      LayoutStrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const SetupError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

TEST(LayoutSyntax, OnlyTrueInAnyCaseIsTrue) {
  EXPECT_TRUE(LayoutStrToBool("true"));
  EXPECT_TRUE(LayoutStrToBool("TRUE"));
  EXPECT_TRUE(LayoutStrToBool("tRuE"));
  for (const char* no : {"yes", "1", "", " true", "true ", "false", "truee"}) EXPECT_FALSE(LayoutStrToBool(no)) << no;
}

TEST(LayoutSyntax, ColoursAreBlueGreenRed) {
  EXPECT_EQ(LayoutStrToColour("$FFFFFF"), 0xFFFFFFu);
  EXPECT_EQ(LayoutStrToColour("$000000"), 0u);
  EXPECT_EQ(LayoutStrToColour("$0000FF"), 0x0000FFu);  // pure red: blue 00, green 00, red FF
  EXPECT_EQ(LayoutStrToColour("255"), 0xFFu);
  EXPECT_THROW(LayoutStrToColour("red"), SetupError);
}

TEST(LayoutSyntax, LinesSplitAtCarriageReturnAndAreTrimmed) {
  EXPECT_EQ(Lines("a\r\n  b \t\r\nc"), (std::vector<std::string>{"a", "b", "c"}));
  // A CR at the very end adds no empty line; empty pieces inside stay.
  EXPECT_EQ(Lines("a\r\r b\r"), (std::vector<std::string>{"a", "", "b"}));
  // A lone LF is no line break; it is trimmed only at the edges of a piece.
  EXPECT_EQ(Lines("a\nb\r"), (std::vector<std::string>{"a\nb"}));
  // The text ends at NUL.
  EXPECT_EQ(Lines(std::string_view("a\r\nb\0c\r\nd", 9)), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(Lines("").empty());
  // Bytes above 0x7F are text, never trimmed away.
  EXPECT_EQ(Lines("\xE9t\xE9"), (std::vector<std::string>{"\xE9t\xE9"}));
}

TEST(LayoutSyntax, SectionsStartAtBracketsAndLeadingLinesFormTheirOwn) {
  auto sections = SplitSections({"Type=TLabel", "", "[A]", "Type=TEdit", "", "Left=1", "[B]"});
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(sections[0], (LayoutSection{"Type=TLabel"}));
  EXPECT_EQ(sections[1], (LayoutSection{"[A]", "Type=TEdit", "Left=1"}));
  EXPECT_EQ(sections[2], (LayoutSection{"[B]"}));
  EXPECT_EQ(SectionName("[WelcomeLabel]"), "WelcomeLabel");
  EXPECT_EQ(SectionName("[ Pages ]"), " Pages ");
  EXPECT_EQ(SectionName("["), "");
}

TEST(LayoutSyntax, ComponentNamesFollowIdentifierRules) {
  EXPECT_TRUE(IsValidComponentName("WelcomeLabel"));
  EXPECT_TRUE(IsValidComponentName("_x9"));
  EXPECT_TRUE(IsValidComponentName("installdir_edit"));
  EXPECT_FALSE(IsValidComponentName("9lives"));
  EXPECT_FALSE(IsValidComponentName("two words"));
  EXPECT_FALSE(IsValidComponentName("a-b"));
  EXPECT_FALSE(IsValidComponentName("Gr\xFC\xDF"));
}

TEST(LayoutSyntax, CodePageRoundTrip) {
  EXPECT_EQ(CodePageFromUtf16(u"Caf\u00E9 \u20AC"), "Caf\xE9 \x80");
  EXPECT_EQ(CodePageFromUtf16(u"\u4E16"), "?");
}

}  // namespace
}  // namespace ferry
