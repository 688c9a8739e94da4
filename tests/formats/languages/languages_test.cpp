#include <gtest/gtest.h>

#include "base/setup_error.h"
#include "formats/setup/text_macros.h"
#include "formats/layout/display_text.h"
#include "formats/languages/languages.h"
#include "formats/languages/unicode_string_list.h"

namespace ferry {
namespace {

// A language file as stored: byte-order mark, then UTF-16LE.
std::vector<uint8_t> FileBytes(std::u16string_view text) {
  std::vector<uint8_t> out{0xFF, 0xFE};
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

const std::u16string kEnglish =
    u"English\r\n0c09;2809;0409;\r\n1 Welcome to <%SETUPTITLE%>\r\n3 ChangeLog\r\n12 < Back\r\n"
    u"13 Next >\r\n26\r\n\"7\" Space available <%SPACEAVA%>\r\n";

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const SetupError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(UnicodeStringList, CrEndsLinesAndLfOnlyMovesTheLineStart) {
  UnicodeStringList list;
  list.LoadFromBuffer(FileBytes(u"one\r\ntwo\r\nthree"));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0).Text, u"one");
  EXPECT_EQ(list.Get(2).Text, u"three");

  list.LoadFromBuffer(FileBytes(u"a\rb\r\r"));
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(2).Text, u"");

  // LF-only line ends: only the text after the last LF remains.
  list.LoadFromBuffer(FileBytes(u"English\n0409\n1 Hello\n2 World"));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0).Text, u"2 World");

  list.LoadFromBuffer(FileBytes(u"x\r\n"));
  EXPECT_EQ(list.Count(), 1);  // nothing after the last CR LF
}

TEST(UnicodeStringList, BomIsSkippedUnreadAndOddByteIgnored) {
  std::vector<uint8_t> bytes = FileBytes(u"ab");
  bytes[0] = 'Z';
  bytes[1] = 'Z';
  bytes.push_back(0x41);
  UnicodeStringList list;
  list.LoadFromBuffer(bytes);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0).Text, u"ab");

  const uint8_t one = 0xFF;
  list.LoadFromBuffer(&one, 1);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(ErrorOf([&] { list.LoadFromBuffer(nullptr, 0); }), "Cannot open file");
  EXPECT_EQ(ErrorOf([&] { list.Get(0); }), "String list index out of range (0)");
}

TEST(Languages, FileParsesIntoNameIdentifiersAndNumberedTexts) {
  LanguageList languages;
  languages.AddLanguage(FileBytes(kEnglish));
  EXPECT_EQ(languages.Current, -1);
  const LanguageTexts& en = *languages.Languages[0];
  EXPECT_EQ(en.Name, u"English");
  EXPECT_EQ(en.LangIDs, (std::vector<uint16_t>{0x0C09, 0x2809, 0x0409}));
  ASSERT_EQ(en.Items.size(), 6u);
  EXPECT_EQ(en.Items[2].Number, 12);
  EXPECT_EQ(en.Items[2].Text, u"< Back");
  EXPECT_EQ(en.Items[4].Number, 26);
  EXPECT_EQ(en.Items[4].Text, u"");
  EXPECT_EQ(en.Items[5].Number, 7);  // quotes leave the number word
}

TEST(Languages, IdentifierLinesWithAndWithoutTrailingSemicolon) {
  for (auto [line, expected] : std::vector<std::pair<std::u16string, std::vector<uint16_t>>>{
           {u"0409", {0x0409}}, {u"0809;0409", {0x0809, 0x0409}}, {u"0809;0409;", {0x0809, 0x0409}},
           {u"0C09;;2809", {0x0C09, 0x2809}}, {u"10409", {0x0409}}}) {
    LanguageList languages;
    languages.AddLanguage(FileBytes(u"X\r\n" + line + u"\r\n"));
    EXPECT_EQ(languages.Languages[0]->LangIDs, expected);
  }
}

TEST(Languages, ConversionErrorsCarryTheOffendingText) {
  LanguageList languages;
  EXPECT_EQ(ErrorOf([&] { languages.AddLanguage(FileBytes(u"X\r\n04g9\r\n")); }),
            "'04g9' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { languages.AddLanguage(FileBytes(u"X\r\n\r\n")); }), "'' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { languages.AddLanguage(FileBytes(u"X\r\n0409\r\n1 a\r\n\r\n2 b\r\n")); }),
            "'' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { languages.AddLanguage(FileBytes(u"X\r\n0409\r\nabc text\r\n")); }),
            "'abc' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { languages.AddLanguage(FileBytes(u"English\n0409\n1 Hello")); }),
            "String list index out of range (1)");
  EXPECT_EQ(languages.Count(), 0);
}

TEST(Languages, NumbersAreTruncatedToSixteenBits) {
  LanguageList languages;
  languages.AddLanguage(FileBytes(u"X\r\n0409\r\n65537 wrapped\r\n"));
  EXPECT_EQ(languages.Languages[0]->Items[0].Number, 1);
}

TEST(Languages, SelectionAndGetText) {
  LanguageList languages;
  EXPECT_EQ(languages.GetText(1), u"NOT FOUND 1");
  languages.AddLanguage(FileBytes(kEnglish));
  languages.AddLanguage(FileBytes(u"Deutsch\r\n0407;0409\r\n1 Willkommen\r\n1 Zweite\r\n"));
  EXPECT_EQ(languages.GetText(1), u"NOT FOUND 1");  // no current language yet
  EXPECT_EQ(languages.FindLanguage(0x0407), 1);
  EXPECT_EQ(languages.FindLanguage(0x0409), 0);  // listed twice: the earlier table
  EXPECT_EQ(languages.FindLanguage(0x0411), -1);
  languages.SelectLanguage(0x0411);
  EXPECT_EQ(languages.Current, 0);
  languages.SelectLanguage(0x0407);
  EXPECT_EQ(languages.Current, 1);
  EXPECT_EQ(languages.GetText(1), u"Willkommen");  // the earlier of equal numbers
  EXPECT_EQ(languages.GetText(0), u"NOT FOUND 0");
  EXPECT_EQ(languages.GetText(99), u"NOT FOUND 99");
}

class Resolve : public ::testing::Test {
 protected:
  Resolve() {
    languages.AddLanguage(FileBytes(
        u"English\r\n0409\r\n1 Welcome to <%SETUPTITLE%>\r\n2 <LANG1><br>Next\r\n5 <LANG5>\r\n6 <LANG7>\r\n"
        u"7 <LANG6>\r\n8 NG1>\r\n"));
    languages.Current = 0;
    macros.AddMacro("<%SETUPTITLE%>", title);
  }
  LanguageList languages;
  TextMacroTable macros;
  std::string title = "Demo Patch";
};

TEST_F(Resolve, ReferencesInsideTextsResolveAndMacrosShowLiveValues) {
  EXPECT_EQ(languages.ResolveLangRefs(u"<LANG2>"), u"Welcome to <%SETUPTITLE%><br>Next");
  EXPECT_EQ(ResolveDisplayText(languages, macros, u"<LANG2>"), u"Welcome to Demo Patch\rNext");
  title = "Other";
  EXPECT_EQ(ResolveDisplayText(languages, macros, u"a<Br>b <LANG1>"), u"a\rb Welcome to Other");
  EXPECT_EQ(languages.ResolveLangRefs(u"<LANG99>"), u"NOT FOUND 99");
  EXPECT_EQ(languages.ResolveLangRefs(u"<lang1>"), u"<lang1>");  // upper case only
  // A replacement that completes a reference with the text before it.
  EXPECT_EQ(languages.ResolveLangRefs(u"<LA<LANG8>"), u"Welcome to <%SETUPTITLE%>");
}

TEST_F(Resolve, BrokenReferencesRaiseTheConversionError) {
  EXPECT_EQ(ErrorOf([&] { languages.ResolveLangRefs(u"x <LANG3"); }), "'3' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { languages.ResolveLangRefs(u"<LANGx>"); }), "'x' is not a valid integer value");
}

TEST_F(Resolve, SelfReferencesEndWithAnError) {
  EXPECT_NE(ErrorOf([&] { languages.ResolveLangRefs(u"<LANG5>"); }), "(no error)");
  EXPECT_NE(ErrorOf([&] { languages.ResolveLangRefs(u"<LANG6>"); }), "(no error)");
}

TEST(ResolveWithoutLanguage, ReferencesStayAsWritten) {
  LanguageList languages;
  TextMacroTable macros;
  EXPECT_EQ(ResolveDisplayText(languages, macros, u"<LANG1><BR>"), u"<LANG1>\r");
}

}  // namespace
}  // namespace ferry
