#include "platform/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "platform/temp_dir.h"
#include "engine/setup_context.h"
#include "platform/win_file_system.h"
#include "platform/win_text.h"

namespace ferry {
namespace {

using testing::TempDir;

std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(PlatformFiles, LongPathsTakeTheLongFormOnlyWhenTheyNeedIt) {
  EXPECT_EQ(LongFormPath(L"C:\\short\\x.txt").native(), L"C:\\short\\x.txt");
  const std::wstring tail = L"\\" + std::wstring(kLongFormFrom, L'n');
  EXPECT_EQ(LongFormPath(L"C:\\a\\.\\b\\..\\c/d" + tail).native(), L"\\\\?\\C:\\a\\c\\d" + tail);
  EXPECT_EQ(LongFormPath(L"\\\\server\\share" + tail).native(), L"\\\\?\\UNC\\server\\share" + tail);
  EXPECT_EQ(LongFormPath(L"\\\\?\\C:\\x" + tail).native(), L"\\\\?\\C:\\x" + tail);

  // A file 300 characters deep: written, found, listed, read, removed.
  TempDir tmp("long");
  std::string dir = tmp.path();
  while (dir.size() < 280) dir += std::string(60, 'd') + "\\";
  std::vector<std::string> created;
  const std::string file = dir + "payload.txt";
  ASSERT_TRUE(WriteFileCreatingDirs(file, Bytes("deep"), [&](const std::string& d) { created.push_back(d); }));
  EXPECT_EQ(created.back(), dir);
  EXPECT_TRUE(FileExists(file));
  ASSERT_EQ(WinFiles().FindFiles(dir + "*").size(), 1u);
  EXPECT_EQ(ReadWholeFile(file), Bytes("deep"));
  EXPECT_EQ(ReadFileBytes(SystemPath(file)), Bytes("deep"));
  EXPECT_TRUE(DeleteFileAt(file));
  for (auto it = created.rbegin(); it != created.rend(); ++it) EXPECT_TRUE(RemoveDirectoryAt(*it)) << *it;
}

TEST(PlatformFiles, ForceDirectoriesCreatesAndLogsOnlyMissingFoldersInOrder) {
  TempDir tmp("force");
  ASSERT_TRUE(CreateDirectoryAt(tmp.path() + "A"));
  std::vector<std::string> logged;
  ForceDirectories(WinFiles(), tmp.path() + "A\\B\\C\\", [&](const std::string& d) { logged.push_back(d); });
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(logged[0], tmp.path() + "A\\B\\");
  EXPECT_EQ(logged[1], tmp.path() + "A\\B\\C\\");
  EXPECT_TRUE(DirectoryExists(tmp.path() + "A\\B\\C"));
  // A second call finds everything there.
  logged.clear();
  ForceDirectories(WinFiles(), tmp.path() + "A\\B\\C\\", [&](const std::string& d) { logged.push_back(d); });
  EXPECT_TRUE(logged.empty());
}

TEST(PlatformFiles, SetupFoldersAreMadeOnlyForDrivePaths) {
  SetupContext ctx;
  for (const char* path : {"relative\\dir\\", "\\\\server\\share\\x\\", "C:\\"})
    CreateFoldersLogged(ctx, DiskFileSystem(), path);
  EXPECT_TRUE(ctx.InstallLog.Directories().empty());
  EXPECT_FALSE(DirectoryExists("relative"));
}

TEST(PlatformFiles, WriteCreatingDirsThenReadWholeFile) {
  TempDir tmp("write");
  std::vector<std::string> logged;
  std::string path = tmp.path() + "x\\y\\data.bin";
  ASSERT_TRUE(WriteFileCreatingDirs(path, Bytes("hello\r\nworld"), [&](const std::string& d) { logged.push_back(d); }));
  EXPECT_EQ(logged, (std::vector<std::string>{tmp.path() + "x\\", tmp.path() + "x\\y\\"}));
  auto data = ReadWholeFile(path);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(*data, Bytes("hello\r\nworld"));
  // Truncated by a second, empty write.
  ASSERT_TRUE(WriteFileCreatingDirs(path, {}, nullptr));
  EXPECT_TRUE(ReadWholeFile(path)->empty());
}

TEST(PlatformFiles, ReadWholeFileOfMissingFileThrowsAndOfLockedFileGivesNone) {
  TempDir tmp("read");
  EXPECT_THROW(ReadWholeFile(tmp.path() + "missing.txt"), SetupError);
  std::string path = tmp.path() + "locked.txt";
  ASSERT_TRUE(WriteFileCreatingDirs(path, Bytes("abc"), nullptr));
  // Held open for writing by someone else: the unshared open fails.
  HANDLE h = CreateFileW(AnsiToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReadWholeFile(path).has_value());
  CloseHandle(h);
  EXPECT_EQ(*ReadWholeFile(path), Bytes("abc"));
}

TEST(PlatformFiles, DiskFileModesShareAsTheirNamesSay) {
  TempDir tmp("modes");
  std::string path = tmp.path() + "data.bin";
  ASSERT_TRUE(WriteFileCreatingDirs(path, Bytes("abcd"), nullptr));
  // Another process's read-write handle that lets everybody in, as a
  // running product may hold its archive.
  HANDLE h = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const std::filesystem::path wide(AnsiToWide(path));
  EXPECT_NE(OpenDiskFile(wide, FileMode::kRead), nullptr);
  EXPECT_EQ(OpenDiskFile(wide, FileMode::kReadWrite), nullptr);
  EXPECT_EQ(OpenDiskFile(wide, FileMode::kReadWriteExclusive), nullptr);
  auto shared = OpenDiskFile(wide, FileMode::kReadWriteShared);
  ASSERT_NE(shared, nullptr);
  shared->WriteAt(1, Bytes("X"));
  char seen[4] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(h, seen, 4, &got, nullptr));
  EXPECT_EQ(std::string(seen, got), "aXcd");
  shared.reset();
  CloseHandle(h);
}

TEST(PlatformFiles, AttributesFindCopyRenameDelete) {
  TempDir tmp("ops");
  std::string a = tmp.path() + "a.txt", b = tmp.path() + "b.txt", c = tmp.path() + "c.txt";
  ASSERT_TRUE(WriteFileCreatingDirs(a, Bytes("12345"), nullptr));
  EXPECT_TRUE(FileExists(a));
  EXPECT_FALSE(DirectoryExists(a));
  EXPECT_TRUE(DirectoryExists(tmp.path()));
  EXPECT_FALSE(FileExists(tmp.path()));
  EXPECT_EQ(FileAttributesOf(tmp.path() + "none"), kInvalidFileAttributes);

  ASSERT_TRUE(SetFileAttributesOf(a, FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(FileAttributesOf(a) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(DeleteFileAt(a));  // read-only files stay
  ASSERT_TRUE(SetFileAttributesOf(a, FILE_ATTRIBUTE_NORMAL));

  ASSERT_TRUE(CopyFileTo(a, b, true));
  EXPECT_FALSE(CopyFileTo(a, b, true));
  ASSERT_TRUE(WriteFileCreatingDirs(c, Bytes("old"), nullptr));
  ASSERT_TRUE(WinFiles().RenameFile(b, c));  // replaces c
  EXPECT_FALSE(FileExists(b));
  EXPECT_EQ(*ReadWholeFile(c), Bytes("12345"));
  ASSERT_TRUE(CreateDirectoryAt(tmp.path() + "sub"));

  auto found = WinFiles().FindFiles(tmp.path() + "*");
  std::vector<std::string> names;
  for (const auto& f : found) names.push_back(f.Name + (f.IsDirectory ? "/" : ":" + std::to_string(f.Size)));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt:5", "c.txt:5", "sub/"}));
  EXPECT_EQ(WinFiles().FindFiles(tmp.path() + "*.txt").size(), 2u);
  EXPECT_TRUE(WinFiles().FindFiles(tmp.path() + "*.none").empty());

  EXPECT_TRUE(DeleteFileAt(a));
  EXPECT_FALSE(FileExists(a));
  EXPECT_TRUE(RemoveDirectoryAt(tmp.path() + "sub"));
  EXPECT_FALSE(DirectoryExists(tmp.path() + "sub"));
}

TEST(PlatformFiles, DrivesAndFreeSpace) {
  auto roots = LogicalDriveRoots();
  ASSERT_FALSE(roots.empty());
  EXPECT_NE(std::find(roots.begin(), roots.end(), "C:\\"), roots.end());
  EXPECT_EQ(DriveTypeOf("C:\\"), DriveType::kFixed);
  auto free = FreeDiskBytes("C:\\");
  ASSERT_TRUE(free.has_value());
  EXPECT_GT(*free, 0u);
  // A list that does not fit the buffer is an error, not a cut list.
  EXPECT_THROW(LogicalDriveRoots(3), SetupError);
}

TEST(PlatformFiles, CdDriveLookupMatchesDriveTypes) {
  std::string expected;
  for (const auto& r : LogicalDriveRoots())
    if (expected.empty() && DriveTypeOf(r) == DriveType::kCdRom) expected = r;
  EXPECT_EQ(FindCdDrive(), expected);
  // Without a CD-ROM drive holding the file the path comes back unchanged.
  EXPECT_EQ(ResolveCdDrivePath("$cddrive\\no_such_file_here.exe"), "$cddrive\\no_such_file_here.exe");
  EXPECT_EQ(ResolveCdDrivePath("C:\\plain.txt"), "C:\\plain.txt");
}

TEST(PlatformFiles, TempFolderAndOwnPath) {
  std::string temp = TempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(DirectoryExists(temp));
  std::string own = PathText(OwnProgramPath());
  EXPECT_TRUE(FileExists(own));
  EXPECT_NE(own.find("platform_win_tests"), std::string::npos);
}

}  // namespace
}  // namespace ferry
