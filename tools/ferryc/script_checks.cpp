#include "script_checks.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/path_vars.h"
#include "formats/languages/text_ids.h"

namespace ferry::tool {

namespace {

size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = std::toupper(static_cast<unsigned char>(a[i - 1])) ==
                        std::toupper(static_cast<unsigned char>(b[j - 1]));
      const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = row[j];
      row[j] = next;
    }
  }
  return row[b.size()];
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string DidYouMean(std::string_view word, const std::vector<std::string_view>& names) {
  std::string near = NearestName(word, names);
  return near.empty() ? std::string() : ", did you mean " + near + "?";
}

}  // namespace

std::string NearestName(std::string_view word, const std::vector<std::string_view>& names) {
  std::string_view best;
  size_t bestDistance = std::max<size_t>(2, word.size() / 3) + 1;
  for (std::string_view name : names) {
    const size_t d = EditDistance(word, name);
    if (d < bestDistance) {
      best = name;
      bestDistance = d;
    }
  }
  return std::string(best);
}

void CheckPathVariables(std::string_view text, const std::string& file, int line, std::vector<Diagnostic>& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$') continue;
    if (i + 1 < text.size() && text[i + 1] == '$') {
      ++i;
      continue;
    }
    if (i + 1 >= text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1]))) continue;
    size_t end = i + 1;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    const std::string_view word = text.substr(i, end - i);
    const size_t known = MatchPathVar(text.substr(i));
    if (known == 0) {
      out.push_back({file, line,
                     "unknown path variable '" + std::string(word) + "'" + DidYouMean(word, PathVarNames()) +
                         " (write $$ for a dollar sign)"});
    } else if (known < word.size()) {
      std::string name;
      for (std::string_view n : PathVarNames())
        if (n.size() == known && EqualsNoCase(n, word.substr(0, known))) name = n;
      out.push_back({file, line,
                     "'" + std::string(word) + "' reads as " + name + " followed by '" +
                         std::string(word.substr(known)) + "' (its value ends with a backslash)",
                     true});
    }
    i = end - 1;
  }
}

void CheckRegistryRoot(std::string_view root, const std::string& file, int line, std::vector<Diagnostic>& out) {
  std::vector<std::string> shortNames;
  for (int i = 0; !RootKeyShortName(i).empty(); ++i) {
    if (EqualsNoCase(root, RootKeyShortName(i))) return;
    shortNames.push_back(RootKeyShortName(i));
  }
  std::string near;
  for (int i = 0; i < static_cast<int>(shortNames.size()); ++i)
    if (EqualsNoCase(root, RootKeyName(i))) near = shortNames[static_cast<size_t>(i)];
  if (near.empty()) near = NearestName(root, std::vector<std::string_view>(shortNames.begin(), shortNames.end()));
  std::string known;
  for (const std::string& s : shortNames) known += (known.empty() ? "" : ", ") + s;
  const std::string hint = near.empty() ? "" : ", did you mean " + near + "?";
  out.push_back({file, line, "unknown registry root '" + std::string(root) + "'" + hint + " (the setup knows " + known + ")"});
}

void CheckLangRefs(std::string_view text, const std::vector<LanguageTable>& tables, const std::string& file,
                   int firstLine, std::vector<Diagnostic>& out) {
  static constexpr std::string_view kOpen = "<LANG";
  int line = firstLine;
  size_t counted = 0;
  for (size_t at = text.find(kOpen); at != std::string_view::npos; at = text.find(kOpen, at + 1)) {
    line += static_cast<int>(std::count(text.begin() + static_cast<ptrdiff_t>(counted),
                                        text.begin() + static_cast<ptrdiff_t>(at), '\n'));
    counted = at;
    size_t digits = at + kOpen.size();
    size_t end = digits;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    // A malformed reference is the setup's own error, reported where it is read.
    if (end == digits || end >= text.size() || text[end] != '>' || end - digits > 5) continue;
    const int number = std::stoi(std::string(text.substr(digits, end - digits)));
    for (const LanguageTable& t : tables)
      if (number > 0xFFFF || !t.Table.Find(static_cast<uint16_t>(number)))
        out.push_back({file, line,
                       "<LANG" + std::to_string(number) + "> is not a text of the language table '" + t.Name + "'"});
  }
}

void CheckProgramTexts(const std::vector<LanguageTable>& tables, const std::string& file,
                       std::vector<Diagnostic>& out) {
  for (const LanguageTable& t : tables)
    for (int number : kProgramTexts)
      if (!t.Table.Find(static_cast<uint16_t>(number)))
        out.push_back({file, t.Line,
                       "the language table '" + t.Name + "' has no text " + std::to_string(number) +
                           ", which the setup shows itself"});
}

}  // namespace ferry::tool
