#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "base/setup_error.h"
#include "formats/install_log/registry_record.h"
#include "engine/uninstall/uninstall_page.h"
#include "platform/uninstall/file_identity.h"
#include "platform/uninstall/self_removal.h"
#include "platform/uninstall/uninstall_system.h"
#include "platform/uninstall/uninstaller_file.h"
#include "base/system_path.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/registry.h"
#include "platform/win_text.h"
#include "platform/install/install_test_support.h"

namespace ferry {
namespace {

using testing::InstallFixture;
using testing::WriteText;

TEST(DeleteRegistryEntryTest, LowerCaseRootValueGoesAndEmptyKeysGoWithIt) {
  {
    RegKey k = RegKey::Open(1, "Software\\FerryUninstallDel\\Sub", true);
    ASSERT_TRUE(k.WriteString("A", "1"));
    ASSERT_TRUE(k.WriteString("", "default"));
  }
  EXPECT_TRUE(DeleteRegistryEntry(MakeRegistryRecord("hkcu", "Software\\FerryUninstallDel\\Sub\\", "A", "1")));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\FerryUninstallDel\\Sub"));  // default value left
  EXPECT_TRUE(DeleteRegistryEntry(MakeRegistryRecord("hkcu", "Software\\FerryUninstallDel\\Sub\\", "", "")));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\FerryUninstallDel\\Sub"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\FerryUninstallDel"));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software"));
  // Nothing there any more: passed over; a record that does not split: refused.
  EXPECT_TRUE(DeleteRegistryEntry(MakeRegistryRecord("HKCU", "Software\\FerryUninstallDel\\Sub\\", "A", "")));
  EXPECT_FALSE(DeleteRegistryEntry("\"HKCU\" \"Software"));
}

TEST(DeleteRegistryEntryTest, AKeyHoldingAValueTheUserAddedStays) {
  {
    RegKey k = RegKey::Open(1, "Software\\FerryUninstallKeep", true);
    ASSERT_TRUE(k.WriteString("Ours", "1"));
    ASSERT_TRUE(k.WriteString("Theirs", "2"));
  }
  EXPECT_TRUE(DeleteRegistryEntry(MakeRegistryRecord("HKCU", "Software\\FerryUninstallKeep", "Ours", "1")));
  RegKey k = RegKey::Open(1, "Software\\FerryUninstallKeep", false);
  ASSERT_TRUE(k.IsOpen());
  EXPECT_FALSE(k.ReadString("Ours"));
  EXPECT_EQ(k.ReadString("Theirs"), "2");
  k.Close();
  DeleteRegKey(HKEY_CURRENT_USER, "Software\\FerryUninstallKeep");
}

// An icon file of one 16 x 16 image whose bytes are `image`.
std::vector<uint8_t> IconFile(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> f = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  uint32_t size = static_cast<uint32_t>(image.size()), offset = 22;
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(size >> (8 * i)));
  for (int i = 0; i < 4; ++i) f.push_back(static_cast<uint8_t>(offset >> (8 * i)));
  f.insert(f.end(), image.begin(), image.end());
  return f;
}

TEST(ReplaceIconTest, TheProgramCarriesTheIconImageAsResourceOne) {
  InstallFixture f("icon");
  const std::string program = f.Temp() + "copy.exe";
  ASSERT_TRUE(CopyFileTo(PathText(OwnProgramPath()), program, false));
  std::vector<uint8_t> image(40 + 16 * 16 * 4 + 64, 0);
  image[0] = 40;  // BITMAPINFOHEADER size
  for (size_t i = 40; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
  EXPECT_TRUE(ReplaceIcon(IconFile(image), SystemPath(program)));

  HMODULE m = LoadLibraryExW(AnsiToWide(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(m, nullptr);
  HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), RT_ICON);
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(SizeofResource(m, r), image.size());
  const uint8_t* data = static_cast<const uint8_t*>(LockResource(LoadResource(m, r)));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), data));
  EXPECT_NE(FindResourceW(m, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
  FreeLibrary(m);

  // An icon file whose image lies past its end changes nothing.
  auto bad = IconFile(image);
  bad.resize(30);
  EXPECT_FALSE(ReplaceIcon(bad, SystemPath(program)));
  EXPECT_FALSE(ReplaceIcon({}, SystemPath(program)));
}

TEST(IsSameFileTest, OneFileUnderTwoNamesButNotACopy) {
  InstallFixture f("same");
  const std::string program = f.Temp() + "Tidewater Uninstaller Program.exe";
  WriteText(program, "MZ");
  ASSERT_TRUE(CopyFileTo(program, f.Temp() + "copy.exe", false));
  wchar_t shortName[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW(AnsiToWide(program).c_str(), shortName, MAX_PATH), 0u);
  const std::string alias = WideToAnsi(shortName);
  ASSERT_FALSE(EqualsNoCase(alias, program)) << "no short name to test with";
  EXPECT_TRUE(IsSameFile(alias, program)) << alias;
  EXPECT_TRUE(IsSameFile(program, program));
  EXPECT_FALSE(IsSameFile(program, f.Temp() + "copy.exe"));
  // Paths that do not open compare as text.
  EXPECT_TRUE(IsSameFile("C:\\Gone\\x.exe", "c:\\gone\\\\X.EXE"));
  EXPECT_FALSE(IsSameFile("C:\\Gone\\x.exe", "C:\\Gone\\y.exe"));
  EXPECT_FALSE(IsSameFile(program, "C:\\Gone\\x.exe"));
}

// A folder chain past MAX_PATH (a letter beyond ASCII in it too), parents
// first as the install log records them, below `base`.
std::vector<std::wstring> LongFolders(const std::wstring& base) {
  std::vector<std::wstring> dirs = {base + L"Pr\u00F3gram " + std::wstring(100, L'a')};
  dirs.push_back(dirs.back() + L"\\" + std::wstring(100, L'b'));
  dirs.push_back(dirs.back() + L"\\" + std::wstring(100, L'c'));
  return dirs;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW((L"\\\\?\\" + path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Run in a child process by the test below: schedules the removal of the
// program in the long folders, then lives on three seconds more.
TEST(ScheduleSelfRemovalTest, DISABLED_Child) {
  const char* base = std::getenv("FERRY_TEST_LONG_BASE");
  ASSERT_NE(base, nullptr);
  std::vector<std::string> dirs;
  for (const std::wstring& d : LongFolders(AnsiToWide(base))) dirs.push_back(WideToAnsi(d) + "\\");
  PrivateFolder temp;
  ASSERT_TRUE(ScheduleSelfRemoval(dirs.back() + "program.exe", dirs, temp));
  const std::string folder = WideToAnsi(temp.Folder().native());
  ASSERT_TRUE(WriteFileCreatingDirs(std::string(base) + "private.txt",
                                    std::vector<uint8_t>(folder.begin(), folder.end()), nullptr));
  Sleep(3000);
}

TEST(ScheduleSelfRemovalTest, ALongFolderGoesOnceTheSchedulingProgramHasEnded) {
  InstallFixture f("selfrm");
  const std::vector<std::wstring> dirs = LongFolders(AnsiToWide(f.Temp()));
  for (const std::wstring& d : dirs) ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + d).c_str(), nullptr));
  const std::wstring program = dirs.back() + L"\\program.exe";
  ASSERT_GT(program.size(), 330u);
  HANDLE h = CreateFileW((L"\\\\?\\" + program).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);

  wchar_t self[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=ScheduleSelfRemovalTest.DISABLED_Child --gtest_also_run_disabled_tests";
  SetEnvironmentVariableW(L"FERRY_TEST_LONG_BASE", AnsiToWide(f.Temp()).c_str());
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);
  // While the scheduling program runs, its file and folders stay.
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(Exists(program));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(code, 0u);

  // The helper ran from the private folder, which goes with it.
  std::optional<std::vector<uint8_t>> written = ReadWholeFile(f.Temp() + "private.txt");
  ASSERT_TRUE(written);
  const std::string folder(written->begin(), written->end());
  ASSERT_EQ(folder.rfind(TempFolder() + kPrivateFolderPrefix, 0), 0u) << folder;
  for (int i = 0; i < 60 && (Exists(program) || Exists(dirs.front()) || DirectoryExists(folder)); ++i) Sleep(500);
  EXPECT_FALSE(Exists(program));
  EXPECT_FALSE(Exists(dirs.front()));
  EXPECT_FALSE(DirectoryExists(folder)) << folder;
}

class NullView : public UninstallView {
 public:
  void SetStatusText(std::u16string_view) override {}
  void SetGauge(int32_t, int32_t) override {}
  void Problem(std::string_view) override {}
};

TEST(UninstallOnPageTest, ADamagedLogStopsTheWorkBeforeAnythingIsDeleted) {
  InstallFixture f("damaged");
  WriteText(f.InstallDir() + "keep.txt", "k");
  UninstallList list;
  list.AddFile(f.InstallDir() + "keep.txt");
  list.AddDirectory(f.InstallDir());
  std::vector<uint8_t> bytes = list.SaveToBuffer();
  bytes.pop_back();
  ASSERT_TRUE(WriteFileCreatingDirs(f.InstallDir() + "install.log", bytes, nullptr));
  NullView view;
  PrivateFolder own;
  WinUninstallSystem system(InstallLogPath(f.ctx.SetupInfo), own);
  try {
    RunUninstallPage(f.ctx, system, view);
    FAIL() << "no error";
  } catch (const SetupError& e) {
    EXPECT_NE(std::string(e.what()).find("is damaged"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Nothing was removed"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(FileExists(f.InstallDir() + "keep.txt"));
  EXPECT_TRUE(FileExists(f.InstallDir() + "install.log"));
}

TEST(UninstallOnPageTest, ASoundLogIsReplayedAndDeleted) {
  InstallFixture f("sound");
  WriteText(f.InstallDir() + "sub\\a.txt", "a");
  WriteText(f.InstallDir() + "user\\mine.txt", "m");
  UninstallList list;
  list.AddFile("$INSTDIR\\sub\\a.txt");
  list.AddDirectory(f.InstallDir());
  list.AddDirectory(f.InstallDir() + "sub\\");
  list.AddDirectory(f.InstallDir() + "user\\");
  ASSERT_TRUE(WriteFileCreatingDirs(f.InstallDir() + "install.log", list.SaveToBuffer(), nullptr));
  NullView view;
  PrivateFolder own;
  WinUninstallSystem system(InstallLogPath(f.ctx.SetupInfo), own);
  UninstallOutcome out = RunUninstallPage(f.ctx, system, view);
  EXPECT_EQ(out.FilesDeleted, 1u);
  EXPECT_FALSE(DirectoryExists(f.InstallDir() + "sub"));
  EXPECT_TRUE(FileExists(f.InstallDir() + "user\\mine.txt"));
  EXPECT_FALSE(FileExists(f.InstallDir() + "install.log"));
}

}  // namespace
}  // namespace ferry
