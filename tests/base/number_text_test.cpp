#include "base/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace ferry {
namespace {

std::string Printf(const char* format, int precision, long double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, precision, value);
  return text;
}

TEST(NumberText, IntegersPadded) {
  struct Case {
    std::string Got, Want;
  } cases[] = {
      {DecimalText(0), "0"},
      {DecimalText(7, 4), "0007"},
      {DecimalText(12345, 2), "12345"},
      {DecimalText(UINT64_MAX), "18446744073709551615"},
      {HexText(0, 2, true), "00"},
      {HexText(0x1F, 2, true), "1F"},
      {HexText(0xDEADBEEF, 8, false), "deadbeef"},
      {HexText(0xABC, 8, true), "00000ABC"},
      {HexText(UINT64_MAX, 0, false), "ffffffffffffffff"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Got, c.Want);
}

// Fixed cases, ties included: the exact binary value decides, then half to even.
TEST(NumberText, KnownValues) {
  struct Case {
    std::string Got, Want;
  } cases[] = {
      {GeneralText(std::sin(1.0L), 15), "0.841470984807897"},
      {GeneralText(std::cos(2.0L), 15), "-0.416146836547142"},
      {GeneralText(0.0L, 15), "0"},
      {GeneralText(1.0L, 15), "1"},
      {GeneralText(0.5L, 15), "0.5"},
      {GeneralText(0.0001L, 15), "0.0001"},
      {GeneralText(0.00001L, 15), "1e-05"},
      {GeneralText(1e15L, 15), "1e+15"},
      {GeneralText(999999999999999.5L, 15), "1e+15"},
      {GeneralText(123456.0L, 3), "1.23e+05"},
      {GeneralText(2.5L, 1), "2"},
      {GeneralText(3.5L, 0), "4"},
      {FixedText(0.0L, 2), "0.00"},
      {FixedText(1023.0L, 2), "1023.00"},
      {FixedText(0.125L, 2), "0.12"},
      {FixedText(0.375L, 2), "0.38"},
      {FixedText(1.005, 2), "1.00"},  // the double is just below 1.005
      {FixedText(99.995L, 2), "100.00"},
      {FixedText(0.0001L, 2), "0.00"},
      {FixedText(0.006L, 2), "0.01"},
      {FixedText(-0.001L, 2), "-0.00"},
      {FixedText(2.5L, 0), "2"},
      {FixedText(1e30, 1), "1000000000000000019884624838656.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Got, c.Want);
}

// Against the C library over the values that matter (the keys' sines and
// cosines, byte sizes in units) and random values of every magnitude.
TEST(NumberText, EqualsPrintf) {
  for (int n = 0; n < 256; ++n) {
    for (long double v : {std::sin(static_cast<long double>(n)), std::cos(static_cast<long double>(n))})
      ASSERT_EQ(GeneralText(v, 15), Printf("%.*Lg", 15, v)) << n;
  }
  std::mt19937_64 gen(99);
  for (int i = 0; i < 20000; ++i) {
    const long double unit = std::ldexp(1.0L, static_cast<int>(gen() % 200) - 100);
    const long double v = static_cast<long double>(gen()) / static_cast<long double>(UINT64_MAX) * unit *
                          ((gen() & 1) ? -1 : 1);
    const int precision = static_cast<int>(gen() % 20);
    ASSERT_EQ(GeneralText(v, precision), Printf("%.*Lg", precision, v)) << i;
    ASSERT_EQ(FixedText(v, precision), Printf("%.*Lf", precision, v)) << i;
    const long double bytes = static_cast<double>(static_cast<long double>(gen() >> (gen() % 64)) / 1024);
    ASSERT_EQ(FixedText(bytes, 2), Printf("%.*Lf", 2, bytes)) << i;
  }
}

}  // namespace
}  // namespace ferry
