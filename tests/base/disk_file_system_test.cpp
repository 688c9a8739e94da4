#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/file_system.h"

namespace ferry {
namespace {

namespace fs = std::filesystem;

// The host's disk through the file calls of base/system_path.h (Win32 under
// Wine, std::filesystem on Linux): both must keep the FileSystem contract.
TEST(DiskFileSystem, KeepsTheFileSystemContract) {
  const fs::path base = fs::temp_directory_path() / "ferry_disk_files_test";
  fs::remove_all(base);
  FileSystem& files = DiskFileSystem();
  const std::string dir = base.string(), a = dir + "\\a.txt", b = dir + "\\b.txt", sub = dir + "\\sub";
  ASSERT_TRUE(files.CreateDirectory(dir));
  EXPECT_FALSE(files.CreateDirectory(dir));  // already there
  ASSERT_TRUE(files.CreateDirectory(sub));
  const uint8_t abc[] = {'a', 'b', 'c'};
  files.Open(a, FileMode::kCreate)->WriteAt(0, abc);
  EXPECT_TRUE(files.FileExists(a) && files.DirectoryExists(dir) && !files.FileExists(dir));
  // Created new: a taken name, a file's or a folder's, is refused and left as it is.
  EXPECT_FALSE(files.Open(a, FileMode::kCreateNew));
  EXPECT_FALSE(files.Open(sub, FileMode::kCreateNew));
  EXPECT_EQ(files.Open(a, FileMode::kRead)->Size(), 3u);

  EXPECT_TRUE(files.CopyFile(a, b, true));
  EXPECT_FALSE(files.CopyFile(a, b, true));  // the target exists
  EXPECT_TRUE(files.CopyFile(a, b, false));
  EXPECT_TRUE(files.RenameFile(b, a));  // replaces the target
  EXPECT_FALSE(files.FileExists(b));

  fs::permissions(base / "a.txt", fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_TRUE(files.IsReadOnly(a));
  EXPECT_TRUE(files.MakeWritable(a));
  EXPECT_FALSE(files.IsReadOnly(a));

  std::vector<FoundFile> found = files.FindFiles(dir + "\\*");
  std::sort(found.begin(), found.end(), [](auto& x, auto& y) { return x.Name < y.Name; });
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].Name, "a.txt");
  EXPECT_EQ(found[0].Size, 3u);
  EXPECT_FALSE(found[0].IsDirectory);
  EXPECT_EQ(found[1].Name, "sub");
  EXPECT_TRUE(found[1].IsDirectory);
  EXPECT_EQ(files.FindFiles(dir + "\\*.TXT").size(), 1u);

  EXPECT_TRUE(files.RemoveFile(a));
  EXPECT_TRUE(files.RemoveFile(a));  // a missing file is no failure
  EXPECT_FALSE(files.RemoveDirectory(a));
  EXPECT_TRUE(files.RemoveDirectory(sub));
  EXPECT_TRUE(files.RemoveDirectory(dir));
  EXPECT_FALSE(files.DirectoryExists(dir));
}

}  // namespace
}  // namespace ferry
