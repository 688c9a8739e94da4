#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/win_text.h"
#include "engine/startup/setup_builder.h"
#include "platform/temp_dir.h"

namespace ferry {
namespace {

using testing::BytesOf;
using testing::SetupBuilder;

// The stub as built, seen from Wine's Z: drive.
std::string StubPath() {
  std::string unix = FERRY_STUB_PATH;
  std::string path = "Z:";
  for (char c : unix) path += c == '/' ? '\\' : c;
  return path;
}

struct RunResult {
  int ExitCode = -1;
  std::string Err;
};

std::string ReadAll(const std::string& path) {
  auto data = ReadWholeFile(path);
  return data ? std::string(data->begin(), data->end()) : std::string();
}

// Wine hands the first windowed process's standard error on to the desktop
// process it starts, which keeps the file open: read it with full sharing.
std::string ReadShared(const std::string& path) {
  HANDLE h = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  CloseHandle(h);
  return text;
}

class StubRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto data = ReadWholeFile(StubPath());
    ASSERT_TRUE(data.has_value());
    stub_ = new std::vector<uint8_t>(std::move(*data));
  }
  static void TearDownTestSuite() { delete stub_; }

  StubRun() : tmp_("e2e") {
    builder.AddLanguage("English", "0409", u"Hello");
    builder.AddLine("file", {"$INSTDIR"});
    builder.Extra.push_back({"data\\a.txt", BytesOf(std::string(3000, 'a')), 1});
    builder.Extra.push_back({"data\\b.txt", BytesOf("bb"), 1});
    // A welcome, a work and a finish page, so a silent run installs.
    builder.Extra.push_back({"Pages.txt",
                             BytesOf("[Pages]\r\nwelcome.txt\r\nwork.txt\r\nfinish.txt\r\n"
                                     "[PageTypes]\r\nWelcome\r\nPatching\r\nFinish\r\n"),
                             0});
    for (const char* layout : {"welcome.txt", "work.txt", "finish.txt"})
      builder.Extra.push_back({layout, BytesOf("\r\n"), 0});
  }

  // The stub with the builder's archive appended, as dir\name.
  std::string Make(const std::string& name, std::vector<uint8_t> archive = {}) {
    if (archive.empty()) archive = builder.Build(*stub_);
    std::string path = tmp_.path() + name;
    EXPECT_TRUE(WriteFileCreatingDirs(path, archive, nullptr));
    return path;
  }

  RunResult Run(const std::string& exe, const std::string& args) {
    std::string errPath = tmp_.path() + "stderr.txt";
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE err = CreateFileW(AnsiToWide(errPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(err, INVALID_HANDLE_VALUE);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdError = err;
    si.hStdOutput = err;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::wstring line = AnsiToWide("\"" + exe + "\" " + args);
    RunResult r;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
      EXPECT_EQ(WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      r.ExitCode = static_cast<int>(code);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    CloseHandle(err);
    r.Err = ReadShared(errPath);
    return r;
  }

  SetupBuilder builder;
  testing::TempDir tmp_;
  static std::vector<uint8_t>* stub_;
};

std::vector<uint8_t>* StubRun::stub_ = nullptr;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(StubRun, GoodSetupPrintsTheListingAndExitsZero) {
  std::string exe = Make("setup.exe");
  std::string log = tmp_.path() + "run.log";
  RunResult r = Run(exe, "/S /DEBUG /LOG=" + log);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_TRUE(Has(r.Err, "Verifying Contents: Status: 0 out of 9 files verifyed\n")) << r.Err;
  EXPECT_TRUE(Has(r.Err, "Verifying Contents: Status: 9 out of 9 files verifyed\n")) << r.Err;
  EXPECT_TRUE(Has(r.Err,
                  "Header\nID: RKPF\nVersion: 1\nFile Count: 9\n\nFiles:\n\"SetupInfo\" Group: 0\n"
                  "\"CompiledLines\" Group: 0\n\"LANGUAGE-English\" Group: 0\n\"data\\a.txt\" Group: 1\n"
                  "\"data\\b.txt\" Group: 1\n"))
      << r.Err;
  EXPECT_TRUE(Has(r.Err,
                  "\nSetupInfo:\nSetupName: Demo Game Patch\nSetupExeName: setup.exe\n"
                  "InstallDir: C:\\Games\\Demo\nInstallDirRegKey.HKEY: HKEY_LOCAL_MACHINE\n"
                  "InstallDirRegKey.Path: \nInstallDirRegKey.Key: \nChangelog: Changelog\n"))
      << r.Err;
  std::string logText = ReadAll(log);
  EXPECT_TRUE(Has(logText, "ID: RKPF\r\nVersion: 1\r\n")) << logText;
  EXPECT_TRUE(Has(logText, "Verifying Contents: Status: 9 out of 9 files verifyed\r\n")) << logText;
}

TEST_F(StubRun, WrongMagic) {
  std::vector<uint8_t> file = builder.Build(*stub_);
  file[file.size() - 15] = 'X';
  RunResult r = Run(Make("setup.exe", file), "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Error: Invalid Setup Header. No Contents or Corrupted Contents.\n")) << r.Err;
  EXPECT_FALSE(Has(r.Err, "files verifyed")) << r.Err;
}

TEST_F(StubRun, CorruptEntryNamesIndexAndName) {
  std::vector<uint8_t> file = builder.Build(*stub_);
  file[testing::EntryOffset(file, "data\\b.txt")] ^= 0x20;
  RunResult r = Run(Make("setup.exe", file), "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Verification Error: Error: Verification Failed. Setup is corrupt.\nID: 4 Filename: "
                         "data\\b.txt\n"))
      << r.Err;
}

TEST_F(StubRun, MissingEntries) {
  builder.WithSetupInfo = false;
  RunResult r = Run(Make("setup.exe"), "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Verification Error: Error: Setup Information Missing. Setup is corrupt\n")) << r.Err;
  builder.WithSetupInfo = true;
  builder.WithCompiledLines = false;
  r = Run(Make("setup2.exe"), "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Verification Error: Error: Compiled Lines Missing. Setup is corrupt\n")) << r.Err;
}

TEST_F(StubRun, FileNameCheck) {
  builder.Info.SetupExeName = "name.exe";
  EXPECT_EQ(Run(Make("name(3).exe"), "/S").ExitCode, 0);
  RunResult r = Run(Make("name(10).exe"), "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Error: Error: Setup`s filename has been renamed\n\nExpected: \nname.exe\n\nFound: "
                         "\nname(10).exe\n"))
      << r.Err;
  // With the archive named on the command line the check is off.
  std::string archive = Make("carrier.exe");
  r = Run(Make("name(10)b.exe", *stub_), "/S /DEBUG " + archive);
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_TRUE(Has(r.Err, "SetupExeName: name.exe\n"));
}

TEST_F(StubRun, InstallDirFromRegistryAndFromTheCommandLine) {
  const std::string key = "Software\\FerryE2EStartup";
  DeleteRegKey(HKEY_CURRENT_USER, key);
  builder.Info.InstallDirRegKey = {1, key, "Path"};
  builder.Info.InstallDir = "";
  std::string exe = Make("setup.exe");
  // No key, no stored folder.
  RunResult r = Run(exe, "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_EQ(r.Err.substr(r.Err.find("Error: Error")),
            "Error: Error: Registry Key Not Found. Please Install Software\n");
  // The key without the value.
  ASSERT_TRUE(RegKey::Open(1, key, true).IsOpen());
  EXPECT_EQ(Run(exe, "/S").ExitCode, 3);
  // The value names the folder.
  ASSERT_TRUE(RegKey::Open(1, key, true).WriteString("Path", "C:\\From Registry\\Demo"));
  r = Run(exe, "/S /DEBUG");
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_TRUE(Has(r.Err, "InstallDir: C:\\From Registry\\Demo\n")) << r.Err;
  EXPECT_TRUE(Has(r.Err, "InstallDirRegKey.HKEY: HKEY_CURRENT_USER\nInstallDirRegKey.Path: " + key +
                             "\nInstallDirRegKey.Key: Path\n"));
  // The command line wins.
  r = Run(exe, "/S /DEBUG /D=C:\\Given Folder\\Demo");
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_TRUE(Has(r.Err, "InstallDir: C:\\Given Folder\\Demo\n")) << r.Err;
  DeleteRegKey(HKEY_CURRENT_USER, key);
}

TEST_F(StubRun, UninstallerWithoutItsLog) {
  builder.Info.IsUninstaller = 1;
  builder.Info.UninstallPrefix = "demo_";
  builder.Info.InstallDir = tmp_.path() + "installed";
  RunResult r = Run(Make("setup.exe"), "/S");
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Setup Error: Error: install log is missing\n")) << r.Err;
}

// Report lines are "%-22s : %s" in the temporary folder, two backslashes
// before the stem.
TEST_F(StubRun, BrokenLanguageWritesTheErrorReport) {
  builder.Extra.push_back({"LANGUAGE-Broken", BytesOf("\xFF\xFEx"), 0});
  RunResult r = Run(Make("setup.exe"), "/S /J secret 1.2.3.4 extra");
  EXPECT_EQ(r.ExitCode, 3);
  size_t at = r.Err.find("Error Report: Unknown Error: ");
  ASSERT_NE(at, std::string::npos) << r.Err;
  size_t q1 = r.Err.find("Please Include \"", at);
  ASSERT_NE(q1, std::string::npos) << r.Err;
  q1 += 16;
  std::string path = r.Err.substr(q1, r.Err.find('"', q1) - q1);
  EXPECT_TRUE(Has(path, "\\\\ErrorLog")) << path;
  EXPECT_EQ(path.substr(path.size() - 4), ".TXT");
  std::string report = ReadAll(path);
  DeleteFileAt(path);
  EXPECT_TRUE(Has(report, "General Info\r\n------------\r\nSetup Name             : Demo Game Patch\r\n")) << report;
  EXPECT_TRUE(Has(report, "ID                     : RKPF\r\nVersion                : 1\r\nCount                  : 10\r\n"));
  EXPECT_TRUE(Has(report, "ErrorType              : Unknown\r\n"));
  EXPECT_TRUE(Has(report, "Params                 : /S /j X X.X.X.X extra\r\nParamCount             : 5\r\n"));
  EXPECT_TRUE(Has(report, "Windows Info\r\n------------\r\nProduct                : "));
  EXPECT_TRUE(Has(report, "MB\r\nCPU Speed              : ")) << report;
}

TEST_F(StubRun, ReportThatCannotBeWrittenIsToldWithoutACrash) {
  builder.Extra.push_back({"LANGUAGE-Broken", BytesOf("\xFF\xFEx"), 0});
  std::string exe = Make("setup.exe");
  std::wstring nowhere = AnsiToWide(tmp_.path() + "no\\such\\folder\\");
  wchar_t oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", nowhere.c_str());
  SetEnvironmentVariableW(L"TEMP", nowhere.c_str());
  RunResult r = Run(exe, "/S");
  SetEnvironmentVariableW(L"TMP", oldTmp);
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  EXPECT_EQ(r.ExitCode, 3);
  EXPECT_TRUE(Has(r.Err, "Error Report: Cannot write the error report \"")) << r.Err;
}

}  // namespace
}  // namespace ferry
