#include <gtest/gtest.h>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/setup_error.h"

namespace ferry {
namespace {

TEST(ByteReader, ReadsLittleEndianAndFailsStickyAtEnd) {
  const uint8_t data[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.U16(), 0x0201);
  EXPECT_EQ(r.U32(), 0x06050403u);
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.U16(), 0);  // one byte left: missing bytes read as 0
  EXPECT_TRUE(r.Failed());
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(r.U8(), 0);
  EXPECT_TRUE(r.Failed());
}

TEST(ByteReader, ShortStringsAndSpansStopAtTheEnd) {
  const uint8_t data[] = {0x05, 0x00, 'a', 'b'};
  ByteReader r(data, sizeof data);
  EXPECT_EQ(r.LenString(), "ab");
  EXPECT_TRUE(r.Failed());

  ByteReader r2(data, sizeof data);
  r2.Seek(10);
  EXPECT_TRUE(r2.Failed());
  EXPECT_TRUE(r2.Bytes(3).empty());
}

TEST(ByteReader, HugeCountsDoNotWrapTheBoundCheck) {
  const uint8_t data[] = {1, 2, 3, 4};
  ByteReader r(data, sizeof data);
  r.Skip(2);
  EXPECT_FALSE(r.Has(SIZE_MAX));
  EXPECT_EQ(r.Bytes(SIZE_MAX - 1).size(), 2u);
  EXPECT_TRUE(r.Failed());
}

TEST(ByteWriter, WritesWhatTheReaderReads) {
  ByteWriter w;
  w.U8(0xAB);
  w.U16(0x1234);
  w.U32(0xDEADBEEF);
  w.U64(0x0102030405060708ull);
  w.LenString("hello");
  w.PatchU32(3, 0x11223344);
  ByteReader r(w.Data());
  EXPECT_EQ(r.U8(), 0xAB);
  EXPECT_EQ(r.U16(), 0x1234);
  EXPECT_EQ(r.U32(), 0x11223344u);
  EXPECT_EQ(r.U64(), 0x0102030405060708ull);
  EXPECT_EQ(r.LenString(), "hello");
  EXPECT_TRUE(r.AtEnd());
  EXPECT_FALSE(r.Failed());
}

TEST(ByteWriter, CountedStringOf300CharactersStoresItsCount) {
  ByteWriter w;
  w.LenString(std::string(300, 'x'));
  ASSERT_EQ(w.Size(), 302u);
  EXPECT_EQ(w.Data()[0], 0x2C);
  EXPECT_EQ(w.Data()[1], 0x01);
}

TEST(ByteWriter, RefusesStringsTheCountCannotHold) {
  ByteWriter w;
  EXPECT_NO_THROW(w.LenString(std::string(65535, 'x')));
  EXPECT_THROW(w.LenString(std::string(65536, 'x')), SetupError);
  EXPECT_THROW(w.PatchU32(w.Size() - 2, 1), SetupError);
}

}  // namespace
}  // namespace ferry
