// The registration's key a product is listed under, the folder it is found
// in, and which product ids can name a key.
#include <gtest/gtest.h>

#include "engine/product_identity.h"

namespace ferry {
namespace {

TEST(ProductIdentity, KeyNamePerFolderOnlySideBySide) {
  ProductIdentity single{.Id = "Atlas", .Title = "Tidewater Atlas"};
  EXPECT_EQ(single.KeyPath("C:\\A"), std::string(kUninstallRegistryKey) + "Atlas");
  EXPECT_EQ(single.KeyName("C:\\B"), "Atlas");
  EXPECT_EQ(single.DisplayName("C:\\A\\"), "Tidewater Atlas");

  ProductIdentity side = single;
  side.SideBySide = true;
  const std::string a = side.KeyName("C:\\Atlas");
  EXPECT_EQ(a.rfind("Atlas_", 0), 0u);
  EXPECT_EQ(a.size(), 6u + 8u);
  // One folder however it is written; another folder, another key.
  EXPECT_EQ(side.KeyName("c:\\ATLAS\\"), a);
  EXPECT_NE(side.KeyName("C:\\Atlas 2"), a);
  EXPECT_EQ(side.DisplayName("C:\\Atlas\\"), "Tidewater Atlas (C:\\Atlas)");
  EXPECT_EQ(side.ForUser ? 1 : 0, side.RegistryRoot());
}

TEST(ProductIdentity, ProductIdsThatNameAKey) {
  struct Case {
    std::string id;
    bool usable;
  } cases[] = {{"Tidewater.Atlas", true}, {"Atlas {1.x}", true},   {"", false},
               {"Atlas\\Charts", false},  {"Atlas\tCharts", false}, {" Atlas", false},
               {std::string(200, 'a'), true}, {std::string(201, 'a'), false}};
  for (const Case& c : cases) EXPECT_EQ(ProductIdProblem(c.id).empty(), c.usable) << c.id;
}

TEST(ProductIdentity, InstalledFolderFromTheRegistration) {
  ProductIdentity identity{.Id = "Atlas", .Title = "Atlas", .ForUser = true};
  std::string asked;
  int root = -1;
  auto reader = [&](std::optional<std::string> value) {
    return [&, value](int r, const std::string& key, const std::string& name) {
      root = r;
      asked = key + "|" + name;
      return value;
    };
  };
  EXPECT_EQ(InstalledFolder(identity, reader("C:\\Atlas")), "C:\\Atlas");
  EXPECT_EQ(root, 1);
  EXPECT_EQ(asked, std::string(kUninstallRegistryKey) + "Atlas|InstallLocation");
  EXPECT_EQ(InstalledFolder(identity, reader("")), std::nullopt);
  EXPECT_EQ(InstalledFolder(identity, reader(std::nullopt)), std::nullopt);
  identity.SideBySide = true;
  EXPECT_EQ(InstalledFolder(identity, reader("C:\\Atlas")), std::nullopt);

  EXPECT_TRUE(SameFolder("C:\\Atlas\\", "c:\\atlas"));
  EXPECT_FALSE(SameFolder("C:\\Atlas", "C:\\Atlas2"));
  EXPECT_EQ(InstalledElsewhereMessage(identity, "C:\\Atlas", "D:\\Other\\"),
            "\"Atlas\" is installed in \"C:\\Atlas\"; it is not installed a second time in \"D:\\Other\". "
            "Install it into \"C:\\Atlas\", or uninstall it first.");
}

}  // namespace
}  // namespace ferry
