#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/random_name.h"

namespace ferry {
namespace {

TEST(RandomName, ScratchNamesAreUnpredictableAndSitBesideTheirTarget) {
  std::set<std::string> tokens;
  for (int i = 0; i < 100; ++i) {
    const std::string t = RandomNameToken();
    EXPECT_EQ(t.size(), 16u);
    EXPECT_EQ(t.find_first_not_of("0123456789abcdef"), std::string::npos) << t;
    tokens.insert(t);
  }
  EXPECT_EQ(tokens.size(), 100u);
  struct Case {
    std::string folder, prefix;
  } cases[] = {{"C:\\app", "C:\\app\\~ferry-"}, {"C:\\app\\", "C:\\app\\~ferry-"}, {"", "~ferry-"}};
  for (const Case& c : cases) {
    const std::string path = RandomScratchPath(c.folder);
    EXPECT_EQ(path.rfind(c.prefix, 0), 0u) << path;
    EXPECT_EQ(path.size(), c.prefix.size() + 16 + 4) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".tmp");
  }
}

}  // namespace
}  // namespace ferry
