#include "formats/pak/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <vector>

namespace ferry {
namespace {

TEST(Crc32, CheckValueOfTheStandard) {
  const char* text = "123456789";
  uint32_t crc = 0;
  ASSERT_TRUE(CalcCrc32(text, 9, crc));
  EXPECT_EQ(crc, 0xCBF43926u);
}

TEST(Crc32, EmptyBufferLeavesTheOutputAlone) {
  uint32_t crc = 0xDEADBEEF;
  EXPECT_TRUE(CalcCrc32("x", 0, crc));
  EXPECT_EQ(crc, 0xDEADBEEFu);
  EXPECT_FALSE(CalcCrc32(nullptr, 5, crc));
  EXPECT_EQ(crc, 0xDEADBEEFu);
}

// Every length from 0 to 1,100 at every alignment of a 16-byte lane, then
// long random lengths: the short ones walk the byte and 8-byte paths, the
// long ones the folding path and all of its tails.
TEST(Crc32, EqualsZlibForManyLengthsAndAlignments) {
  std::mt19937 gen(12345);
  std::vector<uint8_t> data(3 << 20);
  for (auto& b : data) b = static_cast<uint8_t>(gen());
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t len = 1; len <= 1100; ++len) {
      uint32_t crc = 0;
      ASSERT_TRUE(CalcCrc32(data.data() + offset, len, crc));
      ASSERT_EQ(crc, crc32(0, data.data() + offset, static_cast<uInt>(len))) << offset << " " << len;
    }
  }
  for (int i = 0; i < 300; ++i) {
    size_t offset = gen() % 64;
    size_t len = gen() % (data.size() - 64);
    ASSERT_EQ(Crc32({data.data() + offset, len}), crc32(0, data.data() + offset, static_cast<uInt>(len)))
        << offset << " " << len;
  }
}

TEST(Crc32, EqualsZlibForUniformBuffers) {
  for (uint8_t fill : {0x00, 0xFF, 0x5A}) {
    std::vector<uint8_t> data(100'003, fill);
    EXPECT_EQ(Crc32(data), crc32(0, data.data(), static_cast<uInt>(data.size())));
  }
}

// A running CRC fed in pieces (short, byte-path and folding-path pieces,
// empty ones too) ends where the one-call CRC of the whole does.
TEST(Crc32, RunningCrcOverPiecesEqualsTheWhole) {
  std::mt19937 gen(777);
  std::vector<uint8_t> data(300'000);
  for (auto& b : data) b = static_cast<uint8_t>(gen());
  for (size_t piece : {1u, 7u, 64u, 127u, 1000u, 65'536u, 299'999u}) {
    uint32_t crc = Crc32Update(0, {});
    for (size_t at = 0; at < data.size(); at += piece)
      crc = Crc32Update(crc, std::span(data).subspan(at, std::min(piece, data.size() - at)));
    EXPECT_EQ(crc, Crc32(data)) << piece;
  }
}

}  // namespace
}  // namespace ferry
