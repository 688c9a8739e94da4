#include "formats/pak/digit_key.h"

namespace ferry {

namespace {

constexpr char kInstallLogDigits[] =
    "2122544101995288303662333699774624944019192103518066121872057"
    "5692109498395124164229617079258820228062923848595094562679005"
    "2013488476762607309193920685355218505445545146001251171616968"
    "5974711154155224065791736087100833153570978864854363407656516";
constexpr char kCommandParamDigits[] =
    "0224328469123472943122925910274771369986023238781919762435219"
    "0610708242570975184535025596978037886680783369024224279332703"
    "5647394610639888270807221719457364629262663243944084731876916"
    "3886069998534268099337195335972783256142670218737579550139301";

static_assert(sizeof kInstallLogDigits == 245 && sizeof kCommandParamDigits == 245);

std::string Transform(std::string_view key, std::string_view text, int sign) {
  std::string out(text);
  if (key.empty()) return out;
  size_t k = 0;
  for (char& c : out) {
    int digit = key[k] - '0';
    c = static_cast<char>(static_cast<unsigned char>(c) + sign * digit);
    k = (k + 1 == key.size()) ? 0 : k + 1;
  }
  return out;
}

}  // namespace

const std::string_view kInstallLogKey(kInstallLogDigits, 244);
const std::string_view kCommandParamKey(kCommandParamDigits, 244);

std::string DigitKeyEncode(std::string_view key, std::string_view text) { return Transform(key, text, 1); }
std::string DigitKeyDecode(std::string_view key, std::string_view text) { return Transform(key, text, -1); }

}  // namespace ferry
