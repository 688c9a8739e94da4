#include "formats/install_log/registry_record.h"

#include <vector>

#include "base/text_helpers.h"

namespace ferry {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string MakeRegistryRecord(std::string_view root, std::string_view key, std::string_view valueName,
                               std::string_view data) {
  std::string record;
  record.reserve(root.size() + key.size() + valueName.size() + data.size() + 11);
  for (std::string_view field : {root, key, valueName, data}) {
    if (!record.empty()) record += ' ';
    record += '"';
    record += field;
    record += '"';
  }
  return record;
}

std::optional<RegistryRecord> SplitRegistryRecord(std::string_view record) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < record.size()) {
    if (IsBlank(record[i])) {
      ++i;
      continue;
    }
    if (words.size() == 4) return std::nullopt;  // more than the four fields
    std::string word;
    bool quoted = false;
    // A word runs to the next blank outside quotes; quotes may open and
    // close anywhere inside it and are dropped.
    while (i < record.size() && (quoted || !IsBlank(record[i]))) {
      if (record[i] == '"') quoted = !quoted;
      else word += record[i];
      ++i;
    }
    if (quoted) return std::nullopt;  // a quote that never closes
    words.push_back(std::move(word));
  }
  if (words.size() < 3 || words[1].empty()) return std::nullopt;
  RegistryRecord r{words[0], words[1], words[2], words.size() > 3 ? words[3] : std::string()};
  return r;
}

int RecordRootIndex(std::string_view root) { return RootKeyIndex(root); }

}  // namespace ferry
