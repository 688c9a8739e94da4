#include <gtest/gtest.h>

#include "base/byte_writer.h"
#include "formats/setup/product_info.h"

namespace ferry {
namespace {

std::vector<uint8_t> Record(uint16_t format, std::vector<std::string> fields, std::vector<uint8_t> tail = {}) {
  ByteWriter w;
  w.U16(format);
  for (const std::string& f : fields) w.LenString(f);
  w.Bytes(tail);
  return w.Take();
}

TEST(ProductInfo, WritesVersionOneAndReadsItBack) {
  ProductInformation info{"1.2.0.5 beta", "Tidewater Charts", "https://example.invalid/atlas"};
  std::vector<uint8_t> bytes = WriteProductInfo(info);
  EXPECT_EQ(bytes, Record(1, {"1.2.0.5 beta", "Tidewater Charts", "https://example.invalid/atlas"}));
  EXPECT_EQ(ReadProductInfo(bytes), info);
  EXPECT_EQ(ReadProductInfo(WriteProductInfo({})), ProductInformation{});
}

TEST(ProductInfo, IdentityMakesFormatTwo) {
  ProductInformation info{"1.0", "", "", "Atlas", InstallScope::kEither, true, true};
  std::vector<uint8_t> bytes = WriteProductInfo(info);
  EXPECT_EQ(bytes, Record(2, {"1.0", "", "", "Atlas"}, {2, 3}));
  EXPECT_EQ(ReadProductInfo(bytes), info);
}

TEST(ProductInfo, DamagedRecordsReadAsNoneAndNewerOnesAsWhatTheyShare) {
  std::vector<uint8_t> cut = Record(1, {"1.0", "P", "https://x"});
  cut.pop_back();
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::optional<ProductInformation> expected;
  } cases[] = {
      {"empty", {}, std::nullopt},
      {"format 0", Record(0, {"1.0", "P", "U"}), std::nullopt},
      {"cut inside the last field", cut, std::nullopt},
      {"a field missing", Record(1, {"1.0", "P"}), std::nullopt},
      {"a count beyond the end", Record(1, {"1.0", "P"}, {0xFF, 0xFF, 'x'}), std::nullopt},
      {"bytes after a version-1 record", Record(1, {"1.0", "P", "U"}, {0}), std::nullopt},
      {"format 2 without its identity", Record(2, {"1.0", "P", "U"}), std::nullopt},
      {"a scope not known", Record(2, {"1.0", "P", "U", "Id"}, {3, 0}), std::nullopt},
      {"a flag not known", Record(2, {"1.0", "P", "U", "Id"}, {0, 4}), std::nullopt},
      {"bytes after a version-2 record", Record(2, {"1.0", "P", "U", "Id"}, {1, 0, 0}), std::nullopt},
      {"a later format with more fields", Record(3, {"1.0", "P", "U", "Id"}, {1, 1, 'x'}),
       ProductInformation{"1.0", "P", "U", "Id", InstallScope::kUser, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadProductInfo(c.bytes), c.expected) << c.what;
}

}  // namespace
}  // namespace ferry
