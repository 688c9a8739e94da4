#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/file_trust.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/win_text.h"
#include "temp_dir.h"

namespace ferry {
namespace {

struct AccessEntry {
  std::wstring Sid;
  ACCESS_MASK Mask;
  BYTE Flags;
  bool operator==(const AccessEntry&) const = default;
};

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  EXPECT_TRUE(ConvertSidToStringSidW(sid, &text));
  std::wstring out = text ? text : L"";
  LocalFree(text);
  return out;
}

// The descriptor as the folder is created with it: protected, and its
// access entries in order.
std::vector<AccessEntry> BuiltEntries(bool elevated, const std::wstring& user, bool* isProtected) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  const std::wstring text = PrivateFolderDescriptorText(elevated, user);
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &sd, nullptr));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(sd, &control, &revision);
  *isProtected = (control & SE_DACL_PROTECTED) != 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted);
  std::vector<AccessEntry> out;
  for (DWORD i = 0; present && dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) break;
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    out.push_back({SidText(&ace->SidStart), ace->Mask, ace->Header.AceFlags});
  }
  LocalFree(sd);
  return out;
}

TEST(PrivateFolderTest, DescriptorGrantsTheAdministratorsOrTheUserAndTheSystemOnly) {
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  struct Case {
    bool elevated;
    std::vector<AccessEntry> expected;
  } cases[] = {
      {true, {{L"S-1-5-32-544", FILE_ALL_ACCESS, inherited}, {L"S-1-5-18", FILE_ALL_ACCESS, inherited}}},
      {false, {{user, FILE_ALL_ACCESS, inherited}, {L"S-1-5-18", FILE_ALL_ACCESS, inherited}}},
  };
  for (const Case& c : cases) {
    bool isProtected = false;
    EXPECT_EQ(BuiltEntries(c.elevated, user, &isProtected), c.expected) << "elevated " << c.elevated;
    EXPECT_TRUE(isProtected) << "elevated " << c.elevated;
  }
}

bool IsPrivateFolderPath(const std::string& path) {
  const std::string prefix = TempFolder() + kPrivateFolderPrefix;
  if (path.rfind(prefix, 0) != 0 || path.size() != prefix.size() + 17 || path.back() != '\\') return false;
  return path.find_first_not_of("0123456789abcdef", prefix.size()) == path.size() - 1;
}

TEST(PrivateFolderTest, EachRunGetsANewFolderThatGoesWithIt) {
  std::string first;
  {
    PrivateFolder a, b;
    first = WideToAnsi(a.Folder().native());
    EXPECT_TRUE(IsPrivateFolderPath(first)) << first;
    EXPECT_NE(a.Folder(), b.Folder());
    const NativePath program = a.WriteNewFile(L"FINALISE.exe", std::vector<uint8_t>{'M', 'Z'});
    EXPECT_EQ(WideToAnsi(program.native()), first + "FINALISE.exe");
    // Created new: a second file of the name is refused.
    EXPECT_TRUE(a.WriteNewFile(L"FINALISE.exe", std::vector<uint8_t>{'X'}).empty());
    ASSERT_TRUE(a.HoldAgainstWrites(program));
    HANDLE w = CreateFileW(program.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(w, INVALID_HANDLE_VALUE) << "a held program could be opened for writing";
    if (w != INVALID_HANDLE_VALUE) CloseHandle(w);
    // A folder in use is not taken for a killed run's.
    RemoveStalePrivateFolders();
    EXPECT_TRUE(FileExists(WideToAnsi(program.native())));
  }
  EXPECT_FALSE(DirectoryExists(first));
}

TEST(PrivateFolderTest, AKilledRunsFolderGoesAtTheNextStartButNoFolderOfAnotherShape) {
  const std::string temp = TempFolder();
  const std::string stale = temp + kPrivateFolderPrefix + "0123456789abcdef";
  const std::string nested = temp + kPrivateFolderPrefix + "fedcba9876543210";
  const std::string other = temp + kPrivateFolderPrefix + "keep";
  for (const std::string& dir : {stale, nested, other}) {
    testing::TempDir::RemoveTree(dir + "\\");  // a failed run of this test left it
    RemoveDirectoryAt(dir);
    ASSERT_TRUE(CreateDirectoryAt(dir));
    ASSERT_TRUE(WriteFileCreatingDirs(dir + "\\FINALISE.exe", std::vector<uint8_t>{'M', 'Z'}, nullptr));
  }
  ASSERT_TRUE(CreateDirectoryAt(nested + "\\inner"));
  RemoveStalePrivateFolders();
  EXPECT_FALSE(DirectoryExists(stale));
  EXPECT_TRUE(DirectoryExists(nested));
  EXPECT_TRUE(DirectoryExists(other));
  testing::TempDir::RemoveTree(nested + "\\");
  testing::TempDir::RemoveTree(other + "\\");
}

TEST(FileTrustTest, AFileOfThisProcessIsTrustedASecondNameOfAnotherFileIsNot) {
  testing::TempDir dir("trust");
  PrivateFolder own;
  const std::string journal = dir.path() + "~ferry-run.journal";
  ASSERT_TRUE(WriteFileCreatingDirs(journal, std::vector<uint8_t>{1, 2, 3}, nullptr));
  EXPECT_EQ(WhyFileNotTrusted(journal, own), "");
  ASSERT_TRUE(CreateHardLinkW(WinPath(dir.path() + "second").c_str(), WinPath(journal).c_str(), nullptr));
  EXPECT_NE(WhyFileNotTrusted(journal, own).find("hard link"), std::string::npos);
  EXPECT_NE(WhyFileNotTrusted(dir.path() + "missing", own), "");
}

}  // namespace
}  // namespace ferry
