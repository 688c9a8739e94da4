#include <gtest/gtest.h>

#include "script_lexer.h"

namespace ferry::tool {
namespace {

ScriptLine Parse(std::string_view text) {
  ScriptLine line;
  std::string error;
  EXPECT_TRUE(ParseScriptLine(text, line, error)) << text << ": " << error;
  return line;
}

std::string ParseError(std::string_view text) {
  ScriptLine line;
  std::string error;
  EXPECT_FALSE(ParseScriptLine(text, line, error)) << text;
  return error;
}

TEST(ScriptLexer, CommandKeywordIsLowerCasedAndParamsSplitAtBlanksAndTabs) {
  ScriptLine l = Parse("  WriteRegStr\tHKCU  Software\\Demo\\ Version 1.2  ");
  EXPECT_EQ(l.Kind, ScriptLineKind::kCommand);
  EXPECT_EQ(l.Word, "writeregstr");
  EXPECT_EQ(l.Params, (std::vector<std::string>{"HKCU", "Software\\Demo\\", "Version", "1.2"}));
}

TEST(ScriptLexer, QuotedParametersKeepBlanksAndDoubledQuotes) {
  ScriptLine l = Parse(R"(execute "$INSTDIR\my tool.exe" "-t ""a b"" -q" "")");
  EXPECT_EQ(l.Params, (std::vector<std::string>{"$INSTDIR\\my tool.exe", "-t \"a b\" -q", ""}));
}

TEST(ScriptLexer, QuotingMistakesAreErrors) {
  EXPECT_NE(ParseError(R"(message "no end)").find("missing closing quote"), std::string::npos);
  EXPECT_NE(ParseError(R"(message ab"cd)").find("double quote inside"), std::string::npos);
  EXPECT_NE(ParseError(R"(message "ab"cd)").find("closing quote"), std::string::npos);
  EXPECT_NE(ParseError(R"("file" x)").find("keyword"), std::string::npos);
}

TEST(ScriptLexer, CommentsBlankLinesAndTrailingComments) {
  EXPECT_EQ(Parse("").Kind, ScriptLineKind::kBlank);
  EXPECT_EQ(Parse(" \t\r").Kind, ScriptLineKind::kBlank);
  EXPECT_EQ(Parse("; a comment \"with quote").Kind, ScriptLineKind::kComment);
  EXPECT_EQ(Parse("   # another").Kind, ScriptLineKind::kComment);
  ScriptLine l = Parse(R"(message "a ; b" a;b ; the rest "is ignored)");
  EXPECT_EQ(l.Params, (std::vector<std::string>{"a ; b", "a;b"}));
}

TEST(ScriptLexer, LabelsStandAlone) {
  ScriptLine l = Parse("  Skip_Maps.2-b:  ");
  EXPECT_EQ(l.Kind, ScriptLineKind::kLabel);
  EXPECT_EQ(l.Word, "Skip_Maps.2-b");
  EXPECT_NE(ParseError("done: goto x").find("alone"), std::string::npos);
  EXPECT_NE(ParseError("2fast:").find("invalid label"), std::string::npos);
  EXPECT_NE(ParseError(":").find("invalid label"), std::string::npos);
  // A colon at the end of a parameter is just text.
  EXPECT_EQ(Parse("message ready:").Params, (std::vector<std::string>{"ready:"}));
}

TEST(ScriptLexer, DirectivesKeepTheirParameters) {
  ScriptLine l = Parse("@Uninstall uninstall\\Pages.txt \"Pages.txt\"");
  EXPECT_EQ(l.Kind, ScriptLineKind::kDirective);
  EXPECT_EQ(l.Word, "uninstall");
  EXPECT_EQ(l.Params, (std::vector<std::string>{"uninstall\\Pages.txt", "Pages.txt"}));
  EXPECT_FALSE(ParseError("@ x").empty());
}

TEST(ScriptLexer, SplitLinesHandlesEveryLineEndAndTheUtf8Mark) {
  auto lines = SplitScriptLines("\xEF\xBB\xBF" "a\r\nb\nc\rd");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "a");
  EXPECT_EQ(lines[3], "d");
  EXPECT_EQ(SplitScriptLines("a\r\n\r\n").size(), 2u);  // the empty second line counts
  EXPECT_TRUE(SplitScriptLines("").empty());
}

TEST(ScriptLexer, QuoteParamReadsBackUnchanged) {
  for (std::string p : {"plain", "", "two words", "say \"hi\"", "\"", ";lead", "#lead", "@lead", "tab\there",
                        "trailing:", "C:\\Program Files\\X\\", "\x80\xff"}) {
    ScriptLine l = Parse("message " + QuoteParam(p));
    ASSERT_EQ(l.Params.size(), 1u) << p;
    EXPECT_EQ(l.Params[0], p);
  }
  EXPECT_EQ(QuoteParam("plain"), "plain");
  EXPECT_EQ(QuoteParam("a b"), "\"a b\"");
}

}  // namespace
}  // namespace ferry::tool
