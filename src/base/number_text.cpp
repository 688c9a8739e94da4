#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace ferry {

namespace {

static_assert(std::numeric_limits<long double>::digits <= 64, "the mantissa is read into 64 bits");

// Every decimal digit of a finite binary value, exactly: the value is
// 0.Digits * 10^Point (Digits without leading zeros; empty for zero).
struct ExactDecimal {
  bool Negative = false;
  std::string Digits;
  int Point = 0;
};

// Big unsigned number, 32-bit limbs, least significant first.
using Limbs = std::vector<uint32_t>;

uint32_t DivideBy10(Limbs& n) {
  uint64_t rest = 0;
  for (size_t i = n.size(); i-- > 0;) {
    uint64_t cur = (rest << 32) | n[i];
    n[i] = static_cast<uint32_t>(cur / 10);
    rest = cur % 10;
  }
  while (!n.empty() && n.back() == 0) n.pop_back();
  return static_cast<uint32_t>(rest);
}

Limbs ShiftedLeft(uint64_t m, int shift) {
  Limbs n(static_cast<size_t>(shift / 32) + 3, 0);
  const int word = shift / 32, bit = shift % 32;
  unsigned __int128 v = static_cast<unsigned __int128>(m) << bit;
  for (int i = 0; i < 3; ++i) n[static_cast<size_t>(word + i)] = static_cast<uint32_t>(v >> (32 * i));
  while (!n.empty() && n.back() == 0) n.pop_back();
  return n;
}

std::string IntegerDigits(Limbs n) {
  std::string out;
  while (!n.empty()) out.insert(out.begin(), static_cast<char>('0' + DivideBy10(n)));
  return out;
}

// The digits of `fraction` / 2^bits (fraction < 2^bits): each step multiplies
// by ten and takes the bits above `bits`; it ends exactly after at most
// `bits` digits.
std::string FractionDigits(Limbs fraction, int bits) {
  std::string out;
  const size_t top = static_cast<size_t>(bits / 32);
  const int bit = bits % 32;
  fraction.resize(top + 1, 0);
  auto isZero = [&] {
    for (uint32_t limb : fraction)
      if (limb) return false;
    return true;
  };
  while (!isZero()) {
    uint64_t carry = 0;
    for (uint32_t& limb : fraction) {
      uint64_t cur = static_cast<uint64_t>(limb) * 10 + carry;
      limb = static_cast<uint32_t>(cur);
      carry = cur >> 32;
    }
    // ten times a number below 2^bits is below 2^(bits+4): the digit is in
    // the top limb (and, when bits ends a limb, in the carry)
    uint64_t high = (carry << 32) | fraction[top];
    out += static_cast<char>('0' + (high >> bit));
    fraction[top] = static_cast<uint32_t>(high & ((uint64_t{1} << bit) - 1));
  }
  return out;
}

ExactDecimal Expand(long double value) {
  ExactDecimal d;
  d.Negative = std::signbit(value);
  if (value == 0) return d;
  int exp = 0;
  long double frac = std::frexp(std::fabs(value), &exp);  // value = frac * 2^exp, frac in [0.5, 1)
  const uint64_t m = static_cast<uint64_t>(std::ldexp(frac, 64));
  exp -= 64;  // value = m * 2^exp
  std::string whole, part;
  if (exp >= 0) {
    whole = IntegerDigits(ShiftedLeft(m, exp));
  } else {
    const int bits = -exp;
    whole = bits >= 64 ? "" : IntegerDigits(ShiftedLeft(m >> bits, 0));
    const uint64_t low = bits >= 64 ? m : m & ((uint64_t{1} << bits) - 1);
    part = FractionDigits(ShiftedLeft(low, 0), bits);
  }
  d.Point = static_cast<int>(whole.size());
  d.Digits = whole + part;
  size_t lead = d.Digits.find_first_not_of('0');
  d.Digits.erase(0, lead);
  d.Point -= static_cast<int>(lead);
  return d;
}

// Keeps the first `keep` digits, rounded half to even on what is cut; a
// carry out of the first digit moves the point. A negative `keep` cuts at a
// place above the first digit: nothing is left.
void RoundTo(ExactDecimal& d, int keep) {
  if (keep < 0) {
    d.Digits.clear();
    d.Point = 0;
    return;
  }
  if (static_cast<int>(d.Digits.size()) <= keep) return;
  const size_t k = static_cast<size_t>(keep);
  const char first = d.Digits[k];
  const bool restNonZero = d.Digits.find_first_not_of('0', k + 1) != std::string::npos;
  const bool odd = k > 0 && (d.Digits[k - 1] - '0') % 2 == 1;
  const bool up = first > '5' || (first == '5' && (restNonZero || odd));
  d.Digits.resize(k);
  if (up) {
    size_t i = k;
    while (i > 0 && d.Digits[i - 1] == '9') d.Digits[--i] = '0';
    if (i == 0) {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Point;
    } else {
      ++d.Digits[i - 1];
    }
  }
  size_t end = d.Digits.find_last_not_of('0');
  d.Digits.resize(end == std::string::npos ? 0 : end + 1);
  if (d.Digits.empty()) d.Point = 0;
}

// The digit of 10^place: place 0 is the units, -1 the first after the point.
char DigitAt(const ExactDecimal& d, int place) {
  const int index = d.Point - 1 - place;
  return index >= 0 && index < static_cast<int>(d.Digits.size()) ? d.Digits[static_cast<size_t>(index)] : '0';
}

std::string FixedDigits(const ExactDecimal& d, int decimals) {
  std::string out;
  for (int place = std::max(d.Point - 1, 0); place >= 0; --place) out += DigitAt(d, place);
  if (decimals > 0) {
    out += '.';
    for (int place = -1; place >= -decimals; --place) out += DigitAt(d, place);
  }
  return out;
}

std::string NonFinite(long double value) {
  if (std::isnan(value)) return "nan";
  return value < 0 ? "-inf" : "inf";
}

}  // namespace

std::string DecimalText(uint64_t value, int width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  std::string out(digits, end);
  if (static_cast<int>(out.size()) < width) out.insert(0, static_cast<size_t>(width) - out.size(), '0');
  return out;
}

std::string HexText(uint64_t value, int width, bool upper) {
  const char* const kDigits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value);
  if (static_cast<int>(out.size()) < width) out.insert(0, static_cast<size_t>(width) - out.size(), '0');
  return out;
}

std::string FixedText(long double value, int decimals) {
  if (!std::isfinite(value)) return NonFinite(value);
  ExactDecimal d = Expand(value);
  RoundTo(d, d.Point + decimals);
  return (d.Negative ? "-" : "") + FixedDigits(d, decimals);
}

std::string GeneralText(long double value, int digits) {
  if (!std::isfinite(value)) return NonFinite(value);
  const int precision = digits == 0 ? 1 : digits;
  ExactDecimal d = Expand(value);
  RoundTo(d, precision);
  std::string out = d.Negative ? "-" : "";
  if (d.Digits.empty()) return out + "0";
  const int exponent = d.Point - 1;  // of the first digit, after rounding
  if (exponent < -4 || exponent >= precision) {
    out += d.Digits[0];
    if (d.Digits.size() > 1) out += "." + d.Digits.substr(1);
    out += exponent < 0 ? "e-" : "e+";
    return out + DecimalText(static_cast<uint64_t>(std::abs(exponent)), 2);
  }
  std::string fixed = FixedDigits(d, std::max(static_cast<int>(d.Digits.size()) - d.Point, 0));
  return out + fixed;
}

}  // namespace ferry
