// The encryption type of product package archives: it keeps the package
// password in the package trailer from being read at a glance. Two key digit
// strings are derived from two one-byte parameters (sine of the first, cosine
// of the second, in extended precision, written with 15 significant digits,
// only the digits 1 to 9 kept); Encrypt adds the first key's digits forward,
// reverses the bytes and adds the second key's digits; Decrypt undoes it.
// Lengths never change. Not cryptography.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ferry {

class EncryptionType {
 public:
  virtual ~EncryptionType() = default;
  virtual std::string Encrypt(std::string_view text) = 0;
  virtual std::string Decrypt(std::string_view text) = 0;
};

class TarloEncryptionType : public EncryptionType {
 public:
  // Every use sets both before the first call (from the package trailer, or
  // fresh random values when writing a package).
  uint8_t KeyParam1 = 3;
  uint8_t KeyParam2 = 7;

  std::string Encrypt(std::string_view text) override;
  std::string Decrypt(std::string_view text) override;

  // The key digits the parameters give (exposed for tests and the inspector).
  static std::string FirstKey(uint8_t keyParam1);   // from sin(keyParam1)
  static std::string SecondKey(uint8_t keyParam2);  // from cos(keyParam2)
};

}  // namespace ferry
