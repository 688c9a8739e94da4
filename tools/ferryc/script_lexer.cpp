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
  std::string Text;
  bool Quoted = false;
};

// Reads the tokens of a line; false with an error for bad quoting.
bool Tokenize(std::string_view s, std::vector<Token>& tokens, std::string& error) {
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    Token t;
    if (s[i] == '"') {
      t.Quoted = true;
      size_t startCol = i + 1;
      ++i;
      bool closed = false;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            t.Text += '"';
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        t.Text += s[i++];
      }
      if (!closed) {
        error = "missing closing quote (the quoted parameter starts at column " + std::to_string(startCol) + ")";
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
      t.Text = std::string(s.substr(start, i - start));
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
  out.Kind = ScriptLineKind::kBlank;
  out.Word.clear();
  out.Params.clear();
  std::string_view s = Trim(text);
  if (s.empty()) return true;
  if (s[0] == ';' || s[0] == '#') {
    out.Kind = ScriptLineKind::kComment;
    return true;
  }
  std::vector<Token> tokens;
  if (!Tokenize(s, tokens, error)) return false;
  if (tokens.empty()) {  // only a trailing comment is impossible here, but stay safe
    out.Kind = ScriptLineKind::kComment;
    return true;
  }
  const Token& first = tokens[0];
  if (first.Quoted) {
    error = "a line starts with a keyword, not with a quoted text";
    return false;
  }
  if (!first.Text.empty() && first.Text.back() == ':') {
    std::string name = first.Text.substr(0, first.Text.size() - 1);
    if (tokens.size() > 1) {
      error = "a label stands alone on its line (found text after '" + first.Text + "')";
      return false;
    }
    if (!IsValidLabelName(name)) {
      error = "invalid label name '" + name +
              "' (a letter or '_' first, then letters, digits, '_', '-' or '.')";
      return false;
    }
    out.Kind = ScriptLineKind::kLabel;
    out.Word = std::move(name);
    return true;
  }
  if (first.Text[0] == '@') {
    if (first.Text.size() == 1) {
      error = "'@' without a directive name";
      return false;
    }
    out.Kind = ScriptLineKind::kDirective;
    out.Word = AsciiLowerCopy(std::string_view(first.Text).substr(1));
  } else {
    out.Kind = ScriptLineKind::kCommand;
    out.Word = AsciiLowerCopy(first.Text);
  }
  for (size_t i = 1; i < tokens.size(); ++i) out.Params.push_back(std::move(tokens[i].Text));
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
