// The install log's line for one registry value: four fields, each in
// double quotes, separated by single blanks: root, key, value name, data.
//   "HKLM" "Software\Demo\" "Version" "1.2"
// The root is the short name the script gave (any case); the data is kept
// unexpanded and is never used to undo the value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferry {

std::string MakeRegistryRecord(std::string_view root, std::string_view key, std::string_view valueName,
                               std::string_view data);

struct RegistryRecord {
  std::string Root;
  std::string Key;
  std::string ValueName;
  std::string Data;
};

// Splits a record into words at blanks and tabs outside double quotes, the
// quotes removed ("" is an empty word). A record is usable when it has three
// or four words, every quote is closed, and the key is not empty (a value
// directly below a root is never one a setup wrote); anything else is none.
std::optional<RegistryRecord> SplitRegistryRecord(std::string_view record);

// The root index of a recorded root name: HKLM 0, HKCU 1, HKCR 2, HKU 3,
// HKCC 4, compared upper-cased; any other name means HKLM.
int RecordRootIndex(std::string_view root);

}  // namespace ferry
