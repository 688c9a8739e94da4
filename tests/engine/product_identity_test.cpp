// The registration's key a product is listed under, the folder it is found
// in, and which product ids can name a key.
#include <gtest/gtest.h>

#include "engine/product_identity.h"

#include "base/memory_file_system.h"
#include "base/text.h"
#include "engine/setup_context.h"
#include "engine/system.h"

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

// Files in memory where nothing can be created below `Locked`, and the
// registration of one installed product.
class LockedFiles : public MemoryFileSystem {
 public:
  std::string Locked;
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override {
    if (mode == FileMode::kCreateNew && !Locked.empty() && StartsWithNoCase(path, Locked)) return nullptr;
    return MemoryFileSystem::Open(path, mode);
  }
};

class InstalledSystem : public System {
 public:
  LockedFiles Disk;
  std::optional<std::string> Installed;  // InstallLocation under the product's HKLM key
  FileSystem& Files() override { return Disk; }
  std::string ResolveCdDrivePath(const std::string& path) override { return path; }
  std::optional<std::string> ReadRegistryString(int, const std::string&, const std::string&) override { return {}; }
  RegistryWrite WriteRegistryString(int, const std::string&, const std::string&, const std::string&) override {
    return RegistryWrite::kDone;
  }
  RegistryValueState QueryRegistryValue(int root, const std::string& key, const std::string& name) override {
    RegistryValueState state;
    if (root == 0 && key == std::string(kUninstallRegistryKey) + "Atlas" && name == "InstallLocation")
      state.Value = Installed;
    return state;
  }
  bool CreateShellLink(const ShellLink&) override { return false; }
  bool StartProgram(const std::string&, const std::string&, std::unique_ptr<StartedProgram>*) override { return false; }
};

// The checks before a run writes anything: one folder per product, and a
// folder a user's install can write.
TEST(ProductIdentity, RunsRefusedBeforeTheyWrite) {
  struct Case {
    const char* name;
    std::optional<std::string> installed;
    const char* folder;
    bool forUser;
    const char* locked;
    int exitCode;  // kExitDone: accepted
  } cases[] = {
      {"not installed", std::nullopt, "C:\\Atlas\\", false, "", kExitDone},
      {"installed there", "C:\\atlas", "C:\\Atlas\\", false, "", kExitDone},
      {"installed elsewhere", "C:\\Atlas", "D:\\Other\\", false, "", kExitInstalledElsewhere},
      {"a user's writable folder", std::nullopt, "C:\\Users\\a\\Atlas\\", true, "C:\\Program Files", kExitDone},
      {"a user's folder only administrators write", std::nullopt, "C:\\Program Files\\Atlas\\", true,
       "C:\\Program Files", kExitStartupError},
      {"a machine install is not tried", std::nullopt, "C:\\Program Files\\Atlas\\", false,
       "C:\\Program Files", kExitDone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstalledSystem system;
    system.Installed = c.installed;
    system.Disk.Locked = c.locked;
    for (const char* folder : {"C:\\", "C:\\Users", "C:\\Users\\a", "C:\\Program Files", "D:\\"})
      system.Disk.CreateDirectory(folder);
    SetupContext ctx;
    ctx.SetupInfo.ShortTitle = "Atlas";
    ctx.SetupInfo.InstallDir = c.folder;
    ctx.InstallForUser = c.forUser;
    const bool accepted = InstallFolderAccepted(ctx, system) && UserCanWriteInstallFolder(ctx, system);
    EXPECT_EQ(accepted, c.exitCode == kExitDone);
    EXPECT_EQ(ctx.Record.ExitCode(), c.exitCode);
    // The probe leaves nothing behind.
    EXPECT_TRUE(system.Disk.Paths().empty());
  }
}

}  // namespace
}  // namespace ferry
