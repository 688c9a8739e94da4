// Language tables: numbered UTF-16 texts, one table per "LANGUAGE-" entry.
//
// File: UTF-16LE with a byte-order mark. Line 1 is the language's display
// name; line 2 its LANGIDs in hexadecimal separated by ";" (a trailing ";"
// is allowed); each further line is a decimal number, blanks or tabs, and the
// text. A number or identifier that does not convert raises SetupError
// "'<text>' is not a valid integer value"; fewer than two lines raise the
// list's index error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

struct LanguageText {
  uint16_t Number = 0;
  std::u16string Text;  // <LANGn>, "<BR>" and macros still unresolved
};

class LanguageTexts {
 public:
  std::u16string Name = u"Untitled";
  std::vector<uint16_t> LangIDs;
  std::vector<LanguageText> Items;

  // Parses one language file held in memory.
  void LoadFromBuffer(const void* data, size_t size);
  // The first item with this number, or nullptr.
  const LanguageText* Find(uint16_t number) const;
};

class LanguageList {
 public:
  std::vector<std::unique_ptr<LanguageTexts>> Languages;
  int32_t Current = -1;  // index into Languages; -1 until start-up selects one

  // Parses one file and appends it; Current does not change.
  void AddLanguage(const void* data, size_t size);
  void AddLanguage(std::span<const uint8_t> data) { AddLanguage(data.data(), data.size()); }

  int Count() const { return static_cast<int>(Languages.size()); }
  // The current language, or nullptr when Current is not a valid index.
  const LanguageTexts* CurrentLanguage() const;

  // Text of the current language, or "NOT FOUND <number>".
  std::u16string GetText(int number) const;
  // Text of the current language, or `fallback` when it has none (a text
  // the program added after tables were written).
  std::u16string GetTextOr(int number, std::u16string_view fallback) const;
  // Index of the first language listing langId, or -1.
  int FindLanguage(uint16_t langId) const;
  // Current := FindLanguage(langId), or 0 when none lists it (-1 without tables).
  void SelectLanguage(uint16_t langId);

  // Replaces every "<LANGn>" (exact upper case) by GetText(n), searching
  // again from the start so references inside texts resolve too. Without a
  // current language the text is returned unchanged. A reference without ">"
  // or with a non-numeric n raises the conversion error. A chain of
  // references that never ends (a text naming itself) or grows past
  // kMaxResolvedLength raises SetupError instead of running forever.
  std::u16string ResolveLangRefs(std::u16string_view text) const;

  // The program's replace routine (core/text_replace.h).
  static std::u16string ReplaceAll(std::u16string_view text, std::u16string_view pattern,
                                   std::u16string_view replacement);

  static constexpr size_t kMaxResolvedLength = 1u << 20;
  static constexpr int kMaxReferences = 1000;
};

// The conversion error of language files and references.
[[noreturn]] void ThrowNotAnInteger(std::u16string_view text);

}  // namespace ferry
