// Ordered list of 16-bit texts, and the line splitter of language files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ferry {

struct UniItem {
  std::u16string Text;
  int32_t Value = 0;
};

class UnicodeStringList {
 public:
  void Add(std::u16string text) { AddObject(std::move(text), 0); }
  void AddObject(std::u16string text, int32_t value) { items_.push_back({std::move(text), value}); }
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises SetupError "String list index out of range (<index>)" outside 0..Count-1.
  const UniItem& Get(int index) const;

  // Loads UTF-16LE text: the first two bytes (the byte-order mark) are
  // skipped unread, an odd last byte is ignored. A CR ends a line; a LF moves
  // the start of the next line past itself, so a LF right after a CR is
  // skipped and a lone LF drops the text before it. Text after the last CR
  // forms a last line when not empty. No data (nullptr or size 0) raises
  // SetupError "Cannot open file".
  void LoadFromBuffer(const void* data, size_t size);
  void LoadFromBuffer(std::span<const uint8_t> data) { LoadFromBuffer(data.data(), data.size()); }

 private:
  std::vector<UniItem> items_;
};

}  // namespace ferry
