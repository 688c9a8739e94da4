#include <gtest/gtest.h>

#include <filesystem>

#include "base/random_access_file.h"
#include "base/setup_error.h"

namespace ferry {
namespace {

namespace fs = std::filesystem;

void ExerciseFile(RandomAccessFile& f) {
  const uint8_t a[] = {1, 2, 3, 4, 5};
  f.WriteAt(0, a);
  EXPECT_EQ(f.Size(), 5u);
  const uint8_t b[] = {9, 9};
  f.WriteAt(7, b);  // extends, gap reads as zeros
  EXPECT_EQ(f.Size(), 9u);
  auto all = f.ReadVector(0, 100);
  EXPECT_EQ(all, (std::vector<uint8_t>{1, 2, 3, 4, 5, 0, 0, 9, 9}));
  EXPECT_TRUE(f.ReadVector(9, 4).empty());
  EXPECT_TRUE(f.ReadVector(1000, 4).empty());
  f.Truncate(3);
  EXPECT_EQ(f.ReadVector(0, 10), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(RandomAccessFile, MemoryFileReadsWritesAndTruncates) {
  MemoryFile f;
  ExerciseFile(f);
}

TEST(RandomAccessFile, DiskFileBehavesLikeTheMemoryFile) {
  fs::path p = fs::temp_directory_path() / "ferry_raf_test.bin";
  {
    auto f = OpenDiskFile(p, FileMode::kCreate);
    ASSERT_TRUE(f);
    ExerciseFile(*f);
  }
  EXPECT_EQ(ReadFileBytes(p), (std::vector<uint8_t>{1, 2, 3}));
  {
    auto f = OpenDiskFile(p, FileMode::kRead);
    ASSERT_TRUE(f);
    const uint8_t x[] = {7};
    EXPECT_THROW(f->WriteAt(0, x), SetupError);  // opened read-only
  }
  fs::remove(p);
  EXPECT_FALSE(OpenDiskFile(p, FileMode::kRead));
  EXPECT_FALSE(OpenDiskFile(p, FileMode::kReadWrite));
  EXPECT_THROW(ReadFileBytes(p), SetupError);
}

}  // namespace
}  // namespace ferry
