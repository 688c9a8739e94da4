#include "base/text_helpers.h"

#include <charconv>

#include "base/number_text.h"

namespace ferry {

namespace {

struct RootName {
  const char* Short;
  const char* Long;
};

constexpr RootName kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"}, {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKU", "HKEY_USERS"},          {"HKCC", "HKEY_CURRENT_CONFIG"},
};

bool IsValidRoot(int index) { return index >= 0 && index < static_cast<int>(std::size(kRoots)); }

}  // namespace

int RootKeyIndex(std::string_view name) {
  std::string upper(name);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (int i = 0; i < static_cast<int>(std::size(kRoots)); ++i)
    if (upper == kRoots[i].Short) return i;
  return 0;
}

std::string RootKeyName(int index) { return IsValidRoot(index) ? kRoots[index].Long : "!ERROR!"; }

std::string RootKeyShortName(int index) { return IsValidRoot(index) ? kRoots[index].Short : ""; }

std::string FormatByteSize(uint64_t count) {
  static const char* const kUnits[] = {"Bytes", "KB", "MB", "GB"};
  long double v = static_cast<long double>(count);
  int unit = 0;
  while (true) {
    v /= 1024;
    if (static_cast<uint64_t>(v) == 0) {
      v *= 1024;  // the last division went below one unit: undo it
      break;
    }
    if (++unit == 3) break;
  }
  return FixedText(static_cast<double>(v), 2) + " " + kUnits[unit];
}

std::string IncludeTrailingBackslash(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out.back() != '\\') out += '\\';
  return out;
}

std::u16string FolderNotInCodePageMessage(std::u16string_view folder) {
  return u"The folder \"" + std::u16string(folder) +
         u"\" cannot be used: its name has characters that the system code page cannot hold. "
         u"Choose a folder with other characters.";
}

std::u16string FolderIsDriveRootMessage(std::u16string_view folder) {
  return u"The folder \"" + std::u16string(folder) +
         u"\" cannot be used: it is the root of a drive or network share. Choose a folder below it.";
}

int32_t StrToIntOrMinus1(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return -1;
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return -1;
  return value;
}

std::pair<std::string, std::string> SplitAtEquals(std::string_view text) {
  size_t eq = text.find('=');
  if (eq == std::string_view::npos) return {std::string(), std::string(text)};
  return {std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

}  // namespace ferry
