#include "wizard/keyboard_order.h"

#include <algorithm>
#include <numeric>

namespace ferry {

namespace {

bool CanBeKey(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
         (c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7) || (c >= 0x0400 && c <= 0x04FF);
}

// Keys are told apart without case for the letters that have one here.
char16_t Folded(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0x0430 && c <= 0x044F) return static_cast<char16_t>(c - 32);
  if (c >= 0x0450 && c <= 0x045F) return static_cast<char16_t>(c - 80);
  if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) return static_cast<char16_t>(c - 32);
  return c;
}

}  // namespace

std::vector<std::u16string> WithAccessKeys(const std::vector<std::u16string>& captions) {
  std::vector<std::u16string> marked;
  std::u16string taken;
  for (const std::u16string& caption : captions) {
    std::u16string out;
    bool keyed = false;
    for (char16_t c : caption) {
      if (c == u'&') {
        out += u"&&";
        continue;
      }
      if (!keyed && CanBeKey(c) && taken.find(Folded(c)) == std::u16string::npos) {
        out += u'&';
        taken += Folded(c);
        keyed = true;
      }
      out += c;
    }
    marked.push_back(std::move(out));
  }
  return marked;
}

std::u16string WithoutAccessKeys(std::u16string_view caption) {
  std::u16string out;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    out += caption[i];
  }
  return out;
}

std::vector<size_t> ReadingOrder(const std::vector<ControlPlace>& places) {
  std::vector<size_t> order(places.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&places](size_t a, size_t b) {
    if (places[a].Top != places[b].Top) return places[a].Top < places[b].Top;
    return places[a].Left < places[b].Left;
  });
  return order;
}

}  // namespace ferry
