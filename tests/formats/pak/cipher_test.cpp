#include <gtest/gtest.h>

#include <random>
#include <string>

#include "formats/pak/digit_key.h"
#include "formats/pak/tarlo_encryption.h"

namespace ferry {
namespace {

std::string B(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

TEST(DigitKey, WrapsAroundModulo256) {
  EXPECT_EQ(DigitKeyEncode("2", B({0xFF})), B({0x01}));
  EXPECT_EQ(DigitKeyDecode("2", B({0x01})), B({0xFF}));
}

TEST(DigitKey, LongTextReusesTheKeyFromItsFirstDigit) {
  EXPECT_EQ(DigitKeyEncode("123", B({0, 0, 0, 0, 0})), B({1, 2, 3, 1, 2}));
  // Every string starts again at the first digit.
  EXPECT_EQ(DigitKeyEncode("123", B({10})), B({11}));
}

TEST(DigitKey, DigitZeroLeavesTheByte) {
  EXPECT_EQ(DigitKeyEncode("0", "abc"), "abc");
  EXPECT_EQ(DigitKeyEncode("05", "aa"), "af");
}

TEST(DigitKey, RoundTripsWithBothKeys) {
  std::mt19937 gen(7);
  for (auto key : {kInstallLogKey, kCommandParamKey}) {
    ASSERT_EQ(key.size(), 244u);
    for (size_t len : {0u, 1u, 243u, 244u, 245u, 1000u}) {
      std::string s(len, '\0');
      for (char& c : s) c = static_cast<char>(gen());
      std::string enc = DigitKeyEncode(key, s);
      EXPECT_EQ(enc.size(), s.size());
      EXPECT_EQ(DigitKeyDecode(key, enc), s);
    }
  }
}

// Reference digits: sin(n) and cos(n) printed to 15 significant digits both
// with mpmath at 50 digits and with glibc's printf("%.15Lg") of sinl/cosl;
// the two agreed for n = 0..6.
TEST(TarloEncryption, DerivesTheKeysFromSineAndCosine) {
  EXPECT_EQ(TarloEncryptionType::FirstKey(2), "99297426825682");   // 0.909297426825682
  EXPECT_EQ(TarloEncryptionType::FirstKey(3), "14112859867");      // 0.141120008059867
  EXPECT_EQ(TarloEncryptionType::FirstKey(4), "7568249537928");    // -0.756802495307928
  EXPECT_EQ(TarloEncryptionType::FirstKey(5), "958924274663138");  // -0.958924274663138
  EXPECT_EQ(TarloEncryptionType::FirstKey(6), "279415498198926");  // -0.279415498198926
  EXPECT_EQ(TarloEncryptionType::SecondKey(2), "416146836547142");  // -0.416146836547142
  EXPECT_EQ(TarloEncryptionType::SecondKey(3), "9899924966445");    // -0.989992496600445
  EXPECT_EQ(TarloEncryptionType::SecondKey(4), "65364362863612");   // -0.653643620863612
  EXPECT_EQ(TarloEncryptionType::SecondKey(5), "283662185463226");  // 0.283662185463226
  EXPECT_EQ(TarloEncryptionType::SecondKey(6), "961728665366");     // 0.960170286650366
  EXPECT_EQ(TarloEncryptionType::SecondKey(1), "54323586814");      // 0.54030230586814
  EXPECT_EQ(TarloEncryptionType::SecondKey(0), "1");                // "1" + ".0"
  EXPECT_EQ(TarloEncryptionType::FirstKey(0), "");                  // "0" + ".0"
}

TEST(TarloEncryption, KeysNeverHoldZero) {
  for (int p = 0; p < 256; ++p) {
    for (const std::string& key : {TarloEncryptionType::FirstKey(static_cast<uint8_t>(p)),
                                   TarloEncryptionType::SecondKey(static_cast<uint8_t>(p))}) {
      EXPECT_EQ(key.find_first_not_of("123456789"), std::string::npos) << p;
    }
  }
}

TEST(TarloEncryption, OneByteGetsOneDigitOfEachKey) {
  TarloEncryptionType t;
  t.KeyParam1 = 2;  // first key 9...
  t.KeyParam2 = 3;  // second key 9...
  EXPECT_EQ(t.Encrypt(B({0x10})), B({0x10 + 9 + 9}));
  EXPECT_EQ(t.Decrypt(B({0x10 + 9 + 9})), B({0x10}));
}

TEST(TarloEncryption, TwoBytesAreAlsoSwapped) {
  TarloEncryptionType t;
  t.KeyParam1 = 4;  // 7, 5, ...
  t.KeyParam2 = 5;  // 2, 8, ...
  // t = [a+7, b+5]; out = [b+5+2, a+7+8]
  EXPECT_EQ(t.Encrypt("ab"), B({'b' + 5 + 2, 'a' + 7 + 8}));
  EXPECT_EQ(t.Decrypt(B({'b' + 5 + 2, 'a' + 7 + 8})), "ab");
}

TEST(TarloEncryption, WrapsAndReusesTheKeys) {
  TarloEncryptionType t;
  t.KeyParam1 = 6;  // 15 digits: 279415498198926
  t.KeyParam2 = 6;  // 12 digits: 961728665366
  const std::string k1 = "279415498198926", k2 = "961728665366";
  std::string text(40, static_cast<char>(0xFF));
  std::string out = t.Encrypt(text);
  ASSERT_EQ(out.size(), text.size());
  for (size_t j = 0; j < out.size(); ++j) {
    size_t i = out.size() - 1 - j;  // the byte that lands at j
    int expected = (0xFF + (k1[i % 15] - '0') + (k2[j % 12] - '0')) % 256;
    EXPECT_EQ(static_cast<uint8_t>(out[j]), expected) << j;
  }
  EXPECT_EQ(t.Decrypt(out), text);
}

TEST(TarloEncryption, RoundTripsForEveryParameterPair) {
  std::mt19937 gen(99);
  std::string text(37, '\0');
  for (char& c : text) c = static_cast<char>(gen());
  TarloEncryptionType t;
  for (int p1 = 0; p1 < 256; p1 += 15) {
    for (int p2 = 0; p2 < 256; p2 += 17) {
      t.KeyParam1 = static_cast<uint8_t>(p1);
      t.KeyParam2 = static_cast<uint8_t>(p2);
      EXPECT_EQ(t.Decrypt(t.Encrypt(text)), text);
    }
  }
  EXPECT_EQ(t.Encrypt(""), "");
  EXPECT_EQ(t.Decrypt(""), "");
}

}  // namespace
}  // namespace ferry
