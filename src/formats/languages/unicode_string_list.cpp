#include "formats/languages/unicode_string_list.h"

#include "base/byte_reader.h"
#include "base/setup_error.h"

namespace ferry {

const UniItem& UnicodeStringList::Get(int index) const {
  if (index < 0 || index >= Count())
    throw SetupError("String list index out of range (" + std::to_string(index) + ")");
  return items_[static_cast<size_t>(index)];
}

void UnicodeStringList::LoadFromBuffer(const void* data, size_t size) {
  Clear();
  if (!data || size == 0) throw SetupError("Cannot open file");
  ByteReader reader(data, size);
  reader.Skip(2);  // byte-order mark, taken on trust
  const size_t units = size >= 2 ? (size - 2) / 2 : 0;

  std::u16string text;
  text.reserve(units);
  for (size_t i = 0; i < units; ++i) text.push_back(static_cast<char16_t>(reader.U16()));

  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n') {
      start = i + 1;
    } else if (text[i] == u'\r') {
      Add(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) Add(text.substr(start));
}

}  // namespace ferry
