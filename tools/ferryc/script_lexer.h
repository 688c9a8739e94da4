// Setup scripts, line by line.
//
// One command per line: a keyword (any letter case) and its parameters,
// separated by blanks or tabs. A parameter that holds blanks is written in
// double quotes; inside quotes "" stands for one quote character. A line whose
// first character is ';' or '#' is a comment, and an unquoted ';' that starts
// a parameter ends the line. A line that is only a name and a colon is a
// label; a line whose keyword starts with '@' is a compile-time directive.
// Every script line becomes exactly one compiled line, so a compiled line's
// index is its script line number minus one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ferry::tool {

enum class ScriptLineKind { kBlank, kComment, kLabel, kDirective, kCommand };

struct ScriptLine {
  int Number = 0;  // 1-based line number in the script file
  ScriptLineKind Kind = ScriptLineKind::kBlank;
  // kCommand: keyword lower-cased; kDirective: directive name lower-cased,
  // without the '@'; kLabel: the label name as written.
  std::string Word;
  std::vector<std::string> Params;
};

// Parses one line (without its line end). Returns false and sets `error` to a
// message for a person when the line is malformed.
bool ParseScriptLine(std::string_view text, ScriptLine& out, std::string& error);

// Splits a script file's text into lines: CR LF, LF and a lone CR all end a
// line. A UTF-8 byte-order mark at the start is dropped.
std::vector<std::string_view> SplitScriptLines(std::string_view text);

// True when a label name is well formed: a letter or '_' first, then
// letters, digits, '_', '-' or '.'.
bool IsValidLabelName(std::string_view name);

// Writes one parameter so that ParseScriptLine reads it back unchanged:
// bare when it can be, quoted otherwise.
std::string QuoteParam(std::string_view param);

}  // namespace ferry::tool
