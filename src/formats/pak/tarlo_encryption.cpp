#include "formats/pak/tarlo_encryption.h"

#include <cmath>

#include "base/number_text.h"

namespace ferry {

namespace {

// General format of the long double, 15 significant digits, ".0" when
// there is no point.
std::string FormatKeyValue(long double value) {
  std::string s = GeneralText(value, 15);
  if (s.find('.') == std::string::npos) s += ".0";
  return s;
}

std::string KeepKeyDigits(const std::string& s) {
  std::string key;
  for (char c : s)
    if (c >= '1' && c <= '9') key += c;
  return key;
}

// One pass of key digits over the bytes, the key restarting at its first
// digit. An empty key (sin 0) leaves the bytes as they are.
void AddKey(std::string& bytes, const std::string& key, int sign) {
  if (key.empty()) return;
  size_t k = 0;
  for (char& c : bytes) {
    c = static_cast<char>(static_cast<unsigned char>(c) + sign * (key[k] - '0'));
    k = (k + 1 == key.size()) ? 0 : k + 1;
  }
}

}  // namespace

std::string TarloEncryptionType::FirstKey(uint8_t keyParam1) {
  return KeepKeyDigits(FormatKeyValue(std::sin(static_cast<long double>(keyParam1))));
}

std::string TarloEncryptionType::SecondKey(uint8_t keyParam2) {
  return KeepKeyDigits(FormatKeyValue(std::cos(static_cast<long double>(keyParam2))));
}

std::string TarloEncryptionType::Encrypt(std::string_view text) {
  std::string t(text);
  AddKey(t, FirstKey(KeyParam1), +1);
  std::string out(t.rbegin(), t.rend());
  AddKey(out, SecondKey(KeyParam2), +1);
  return out;
}

std::string TarloEncryptionType::Decrypt(std::string_view text) {
  std::string u(text);
  AddKey(u, SecondKey(KeyParam2), -1);
  std::string t(u.rbegin(), u.rend());
  AddKey(t, FirstKey(KeyParam1), -1);
  return t;
}

}  // namespace ferry
