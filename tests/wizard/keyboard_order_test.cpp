#include "wizard/keyboard_order.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(AccessKeys, EachCaptionGetsAFreeKey) {
  struct Case {
    std::vector<std::u16string> Captions, Marked;
  } cases[] = {
      {{u"< Back", u"Next >", u"Cancel", u"English"}, {u"< &Back", u"&Next >", u"&Cancel", u"&English"}},
      // Taken letters are skipped, without regard to case.
      {{u"Next", u"next", u"Close"}, {u"&Next", u"n&ext", u"&Close"}},
      {{u"Далее", u"ДАЛЕЕ"}, {u"&Далее", u"Д&АЛЕЕ"}},
      // No letter that can be a key: none; a "&" of the text stays visible.
      {{u"次へ", u"R&D"}, {u"次へ", u"&R&&D"}},
      {{u"ab", u"AB", u"ba"}, {u"&ab", u"A&B", u"ba"}},
  };
  for (const Case& c : cases) EXPECT_EQ(WithAccessKeys(c.Captions), c.Marked);
}

TEST(AccessKeys, RemovedAsShown) {
  EXPECT_EQ(WithoutAccessKeys(u"< &Back"), u"< Back");
  EXPECT_EQ(WithoutAccessKeys(u"&R&&D"), u"R&D");
  EXPECT_EQ(WithoutAccessKeys(u"end&"), u"end&");
}

TEST(ReadingOrder, TopToBottomThenLeftToRight) {
  // An edit above a tree, then the button row: language left of Back.
  std::vector<ControlPlace> places = {{344, 384}, {16, 150}, {8, 384}, {16, 100}, {496, 384}};
  EXPECT_EQ(ReadingOrder(places), (std::vector<size_t>{3, 1, 2, 0, 4}));
}

}  // namespace
}  // namespace ferry
