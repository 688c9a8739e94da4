#include "platform/held_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "platform/temp_dir.h"
#include "platform/win_text.h"

namespace ferry {
namespace {

using testing::TempDir;

// Opens `path` without sharing, as a program that holds it does.
HANDLE HoldWithoutSharing(const std::string& path) {
  return CreateFileW(WinPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(HeldFiles, OnlyAFileHeldPastAMomentIsHeld) {
  TempDir tmp("held");
  const std::string held = tmp.path() + "held.txt", brief = tmp.path() + "brief.txt", free = tmp.path() + "free.txt";
  for (const std::string& f : {held, brief, free}) ASSERT_TRUE(WriteFileCreatingDirs(f, std::vector<uint8_t>{'x'}, nullptr));
  HANDLE holder = HoldWithoutSharing(held);
  HANDLE scanner = HoldWithoutSharing(brief);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
  // A reader that lets go after 300 ms, as a virus scanner does.
  std::thread release([scanner] {
    Sleep(300);
    CloseHandle(scanner);
  });
  const std::vector<HeldFile> found =
      FindHeldFiles({free, brief, held, held, tmp.path() + "missing.txt", tmp.path()});
  release.join();
  CloseHandle(holder);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Path, held);
  EXPECT_TRUE(FindHeldFiles({held}).empty());
}

}  // namespace
}  // namespace ferry
