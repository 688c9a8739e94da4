#include <gtest/gtest.h>

#include "base/path_text.h"

namespace ferry {
namespace {

TEST(PathText, FolderPartWithAndWithoutItsSeparator) {
  struct Case {
    std::string_view path, separators, folder, parent;
  } cases[] = {
      {"C:\\dir\\name.txt", kPathSeparators, "C:\\dir\\", "C:\\dir"},
      {"C:\\dir/name.txt", kPathSeparators, "C:\\dir/", "C:\\dir"},
      {"C:\\dir/name.txt", "\\", "C:\\", "C:"},
      {"C:\\dir\\", kPathSeparators, "C:\\dir\\", "C:\\dir"},
      {"\\name", "\\", "\\", ""},
      {"name.txt", kPathSeparators, "", ""},
      {"a/b", "\\", "", ""},
      {"", kPathSeparators, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderOf(c.path, c.separators), c.folder) << c.path;
    EXPECT_EQ(ParentFolderOf(c.path, c.separators), c.parent) << c.path;
  }
}

}  // namespace
}  // namespace ferry
