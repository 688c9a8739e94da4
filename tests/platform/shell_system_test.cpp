#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/temp_dir.h"

namespace ferry {
namespace {

TEST(PlatformShell, SpecialFoldersEndWithABackslashAndExist) {
  std::string programs = SpecialFolderDir(kCsidlPrograms);
  std::string programFiles = SpecialFolderDir(kCsidlProgramFiles);
  ASSERT_GT(programs.size(), 3u);
  EXPECT_EQ(programs.back(), '\\');
  EXPECT_NE(programs.find("Programs"), std::string::npos) << programs;
  EXPECT_EQ(programFiles, "C:\\Program Files\\");
  EXPECT_TRUE(DirectoryExists(programFiles));
  // An identifier the shell does not know gives the bare backslash.
  EXPECT_EQ(SpecialFolderPath(0x7F), "");
  EXPECT_EQ(SpecialFolderDir(0x7F), "\\");
}

TEST(PlatformShell, ShellLinkIsWrittenAndReadsBack) {
  testing::TempDir tmp("lnk");
  ComInit com;
  ASSERT_TRUE(com.Ok());
  ShellLinkArgs args;
  args.LinkPath = tmp.path() + "Play.lnk";
  args.Target = "C:\\windows\\notepad.exe";
  args.Arguments = "readme.txt";
  args.WorkingDirectory = "C:\\windows";
  args.Description = "Play the game";
  ASSERT_TRUE(CreateShellLink(args));
  ASSERT_TRUE(FileExists(args.LinkPath));

  IShellLinkW* link = nullptr;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link))));
  IPersistFile* file = nullptr;
  ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
  std::wstring wpath(args.LinkPath.begin(), args.LinkPath.end());
  ASSERT_TRUE(SUCCEEDED(file->Load(wpath.c_str(), STGM_READ)));
  wchar_t buffer[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(link->GetArguments(buffer, MAX_PATH)));
  EXPECT_STREQ(buffer, L"readme.txt");
  ASSERT_TRUE(SUCCEEDED(link->GetDescription(buffer, MAX_PATH)));
  EXPECT_STREQ(buffer, L"Play the game");
  file->Release();
  link->Release();
}

TEST(PlatformShell, ExecuteGivesAProcessHandleWithItsExitCode) {
  ProcessHandle process;
  ExecuteArgs args;
  args.File = "cmd.exe";
  args.Parameters = "/c exit 7";
  args.Show = SW_HIDE;
  ASSERT_TRUE(ShellExecuteWithProcess(args, &process));
  ASSERT_TRUE(process.IsValid());
  EXPECT_EQ(process.Wait(60000), 7u);
  ExecuteArgs missing;
  missing.File = "C:\\no\\such\\program.exe";
  ProcessHandle none;
  EXPECT_FALSE(ShellExecuteWithProcess(missing, &none));
  EXPECT_FALSE(none.IsValid());
}

TEST(PlatformSystem, QueriesAnswerPlausibly) {
  EXPECT_NE(SystemDefaultLangId(), 0);
  EXPECT_NE(UserDefaultLangId(), 0);
  WindowsVersion v = QueryWindowsVersion();
  EXPECT_TRUE(v.HaveBasic);
  EXPECT_TRUE(v.HaveExtended);
  EXPECT_EQ(v.PlatformId, 2u);  // the NT family
  EXPECT_GE(v.Major, 5u);
  EXPECT_GT(TotalPhysicalMemory(), 64u * 1024 * 1024);
  EXPECT_GT(SystemMetric(SM_CXSCREEN), -1);

  uint32_t t0 = TickCount();
  uint64_t c0 = ReadCycleCounter();
  SleepMs(50);
  // Wine's tick count is refreshed by its server in steps that lag under
  // load, so only ask that it moved, and by a sane amount.
  uint32_t elapsed = TickCount() - t0;
  EXPECT_GE(elapsed, 1u);
  EXPECT_LT(elapsed, 60000u);
  EXPECT_GT(ReadCycleCounter(), c0);
}

TEST(PlatformSystem, PrioritiesAreRestored) {
  Priorities before = CurrentPriorities();
  RaiseToRealTime();
  SetPriorities(before);
  Priorities after = CurrentPriorities();
  EXPECT_EQ(after.ProcessClass, before.ProcessClass);
  EXPECT_EQ(after.Thread, before.Thread);
}

}  // namespace
}  // namespace ferry
