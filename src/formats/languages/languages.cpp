#include "formats/languages/languages.h"

#include "base/setup_error.h"
#include "base/text.h"
#include "base/text_replace.h"
#include "formats/languages/unicode_string_list.h"

namespace ferry {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
  return s;
}

// Decimal integer with an optional sign, 32-bit range; else the conversion error.
int32_t ParseDecimal(std::u16string_view text) {
  std::u16string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == u'-' || digits.front() == u'+')) {
    negative = digits.front() == u'-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) ThrowNotAnInteger(text);
  int64_t value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') ThrowNotAnInteger(text);
    value = value * 10 + (c - u'0');
    if (value > int64_t{0x80000000}) ThrowNotAnInteger(text);
  }
  if (negative) value = -value;
  if (value > INT32_MAX) ThrowNotAnInteger(text);
  return static_cast<int32_t>(value);
}

// Hexadecimal without prefix, 32-bit range.
uint32_t ParseHex(std::u16string_view text) {
  if (text.empty() || text.size() > 8) ThrowNotAnInteger(text);
  uint32_t value = 0;
  for (char16_t c : text) {
    uint32_t digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else ThrowNotAnInteger(text);
    value = value * 16 + digit;
  }
  return value;
}

std::vector<uint16_t> ParseLangIds(std::u16string_view line) {
  std::vector<uint16_t> ids;
  if (line.find(u';') == std::u16string_view::npos) {
    ids.push_back(static_cast<uint16_t>(ParseHex(line)));
    return ids;
  }
  size_t pos = 0;
  while (pos <= line.size()) {
    size_t end = line.find(u';', pos);
    if (end == std::u16string_view::npos) end = line.size();
    std::u16string_view piece = line.substr(pos, end - pos);
    if (!piece.empty()) ids.push_back(static_cast<uint16_t>(ParseHex(piece)));
    pos = end + 1;
  }
  return ids;
}

// "number text": the number word ends at the first blank or tab outside
// double quotes, and loses its quotes; the text keeps its own.
LanguageText ParseTextLine(std::u16string_view raw) {
  std::u16string_view line = Trim(raw);
  size_t end = 0;
  bool quoted = false;
  while (end < line.size() && (quoted || !IsBlank(line[end]))) {
    if (line[end] == u'"') quoted = !quoted;
    ++end;
  }
  std::u16string word;
  for (char16_t c : line.substr(0, end))
    if (c != u'"') word.push_back(c);
  std::u16string_view text = line.substr(end);
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return LanguageText{static_cast<uint16_t>(ParseDecimal(word)), std::u16string(text)};
}

}  // namespace

void ThrowNotAnInteger(std::u16string_view text) {
  throw SetupError("'" + Utf16ToUtf8(text) + "' is not a valid integer value");
}

void LanguageTexts::LoadFromBuffer(const void* data, size_t size) {
  UnicodeStringList lines;
  lines.LoadFromBuffer(data, size);
  Name = lines.Get(0).Text;
  LangIDs = ParseLangIds(lines.Get(1).Text);
  Items.clear();
  Items.reserve(static_cast<size_t>(lines.Count() - 2));
  for (int i = 2; i < lines.Count(); ++i) Items.push_back(ParseTextLine(lines.Get(i).Text));
}

const LanguageText* LanguageTexts::Find(uint16_t number) const {
  for (const LanguageText& item : Items)
    if (item.Number == number) return &item;
  return nullptr;
}

void LanguageList::AddLanguage(const void* data, size_t size) {
  auto language = std::make_unique<LanguageTexts>();
  language->LoadFromBuffer(data, size);
  Languages.push_back(std::move(language));
}

const LanguageTexts* LanguageList::CurrentLanguage() const {
  if (Current < 0 || Current >= Count()) return nullptr;
  return Languages[static_cast<size_t>(Current)].get();
}

std::u16string LanguageList::GetText(int number) const {
  if (const LanguageTexts* language = CurrentLanguage(); language && number >= 0 && number <= 0xFFFF)
    if (const LanguageText* item = language->Find(static_cast<uint16_t>(number))) return item->Text;
  return u"NOT FOUND " + Utf8ToUtf16(std::to_string(number));
}

std::u16string LanguageList::GetTextOr(int number, std::u16string_view fallback) const {
  if (const LanguageTexts* language = CurrentLanguage(); language && number >= 0 && number <= 0xFFFF)
    if (const LanguageText* item = language->Find(static_cast<uint16_t>(number))) return item->Text;
  return std::u16string(fallback);
}

int LanguageList::FindLanguage(uint16_t langId) const {
  for (size_t i = 0; i < Languages.size(); ++i)
    for (uint16_t id : Languages[i]->LangIDs)
      if (id == langId) return static_cast<int>(i);
  return -1;
}

void LanguageList::SelectLanguage(uint16_t langId) {
  int found = FindLanguage(langId);
  Current = found >= 0 ? found : (Languages.empty() ? -1 : 0);
}

// Equivalent to searching again from the start after each replacement: the
// result is built left to right and a replaced text goes back in front of
// the unread input, so references inside it, or formed with the text before
// it, are found next.
std::u16string LanguageList::ResolveLangRefs(std::u16string_view text) const {
  if (!CurrentLanguage()) return std::u16string(text);
  static constexpr std::u16string_view kOpen = u"<LANG";
  if (text.find(kOpen) == std::u16string_view::npos) return std::u16string(text);

  std::u16string out;
  std::u16string pending(text.rbegin(), text.rend());  // unread input, next character last
  int references = 0;
  while (!pending.empty()) {
    out.push_back(pending.back());
    pending.pop_back();
    if (out.size() < kOpen.size() || std::u16string_view(out).substr(out.size() - kOpen.size()) != kOpen)
      continue;
    size_t close = pending.rfind(u'>');  // the nearest ">" in reading order
    std::u16string number(pending.rbegin(), close == std::u16string::npos
                                                ? pending.rend()
                                                : pending.rbegin() + static_cast<ptrdiff_t>(pending.size() - close - 1));
    if (close == std::u16string::npos) ThrowNotAnInteger(number);
    int32_t n = ParseDecimal(number);
    pending.resize(close);
    out.resize(out.size() - kOpen.size());
    if (++references > kMaxReferences)
      throw SetupError("Language text references do not end (more than " + std::to_string(kMaxReferences) +
                       " <LANGn> references)");
    std::u16string replacement = GetText(n);
    pending.append(replacement.rbegin(), replacement.rend());
    if (out.size() + pending.size() > kMaxResolvedLength)
      throw SetupError("Language text too long after resolving <LANGn> references");
  }
  return out;
}

std::u16string LanguageList::ReplaceAll(std::u16string_view text, std::u16string_view pattern,
                                      std::u16string_view replacement) {
  return ferry::ReplaceAll(text, pattern, replacement);
}

}  // namespace ferry
