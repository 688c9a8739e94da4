#include "script_lexer.h"

#include "base/text.h"

namespace ferry::tool {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

struct Token {
  std::string text;
  bool quoted = false;
};

// Reads the tokens of a line; false with an error for bad quoting.
bool Tokenize(std::string_view s, std::vector<Token>& tokens, std::string& error) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    Token t;
    if (s[i] == '"') {
      t.quoted = true;
      size_t start_col = i + 1;
      ++i;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            t.text += '"';
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        t.text += s[i++];
      }
      if (!closed) {
        error = "missing closing quote (the quoted parameter starts at column " + std::to_string(start_col) + ")";
        return false;
      }
      if (i < s.size() && !IsBlank(s[i])) {
        error = "a blank must follow the closing quote at column " + std::to_string(i);
        return false;
      }
    } else {
      if (s[i] == ';') break;  // trailing comment
      size_t start = i;
      while (i < s.size() && !IsBlank(s[i])) {
        if (s[i] == '"') {
          error = "double quote inside the parameter '" + std::string(s.substr(start, i - start + 1)) +
                  "...'; put the whole parameter in double quotes";
          return false;
        }
        ++i;
      }
      t.text = std::string(s.substr(start, i - start));
    }
    tokens.push_back(std::move(t));
  }
  return true;
}

}  // namespace

bool IsValidLabelName(std::string_view name) {
  if (name.empty() || !(IsLetter(name[0]) || name[0] == '_')) return false;
  for (char c : name)
    if (!(IsLetter(c) || IsDigit(c) || c == '_' || c == '-' || c == '.')) return false;
  return true;
}

bool ParseScriptLine(std::string_view text, ScriptLine& out, std::string& error) {
  out.kind = ScriptLineKind::kBlank;
  out.word.clear();
  out.params.clear();
  std::string_view s = Trim(text);
  if (s.empty()) return true;
  if (s[0] == ';' || s[0] == '#') {
    out.kind = ScriptLineKind::kComment;
    return true;
  }
  std::vector<Token> tokens;
  if (!Tokenize(s, tokens, error)) return false;
  if (tokens.empty()) {  // only a trailing comment is impossible here, but stay safe
    out.kind = ScriptLineKind::kComment;
    return true;
  }
  const Token& first = tokens[0];
  if (first.quoted) {
    error = "a line starts with a keyword, not with a quoted text";
    return false;
  }
  if (!first.text.empty() && first.text.back() == ':') {
    std::string name = first.text.substr(0, first.text.size() - 1);
    if (tokens.size() > 1) {
      error = "a label stands alone on its line (found text after '" + first.text + "')";
      return false;
    }
    if (!IsValidLabelName(name)) {
      error = "invalid label name '" + name +
              "' (a letter or '_' first, then letters, digits, '_', '-' or '.')";
      return false;
    }
    out.kind = ScriptLineKind::kLabel;
    out.word = std::move(name);
    return true;
  }
  if (first.text[0] == '@') {
    if (first.text.size() == 1) {
      error = "'@' without a directive name";
      return false;
    }
    out.kind = ScriptLineKind::kDirective;
    out.word = AsciiLowerCopy(std::string_view(first.text).substr(1));
  } else {
    out.kind = ScriptLineKind::kCommand;
    out.word = AsciiLowerCopy(first.text);
  }
  for (size_t i = 1; i < tokens.size(); ++i) out.params.push_back(std::move(tokens[i].text));
  return true;
}

std::vector<std::string_view> SplitScriptLines(std::string_view text) {
  if (text.size() >= 3 && static_cast<unsigned char>(text[0]) == 0xEF &&
      static_cast<unsigned char>(text[1]) == 0xBB && static_cast<unsigned char>(text[2]) == 0xBF)
    text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || text[i] == '\r') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string QuoteParam(std::string_view param) {
  bool bare = !param.empty() && param[0] != ';' && param[0] != '#' && param[0] != '@';
  for (char c : param)
    if (IsBlank(c) || c == '"' || c == '\r' || c == '\n') bare = false;
  // A bare last character ':' is fine for parameters (labels are first words).
  if (bare) return std::string(param);
  std::string out = "\"";
  for (char c : param) {
    if (c == '"') out += "\"\"";
    else out += c;
  }
  out += '"';
  return out;
}

}  // namespace ferry::tool
