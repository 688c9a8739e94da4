#include <gtest/gtest.h>

#include "formats/setup/comp_lines.h"

namespace ferry {
namespace {

const std::vector<uint8_t> kExampleRecord = {
    0x07, 0, 0, 0, 0x0A, 0, 0, 0, 0x02, 0, 0, 0, 0x06, 0, 'F', 'i', 'l', 'e', 's', '\\', 0x01, 0, '1'};

std::vector<uint8_t> Stream(uint16_t count, const std::vector<uint8_t>& records) {
  std::vector<uint8_t> out{static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
  out.insert(out.end(), records.begin(), records.end());
  return out;
}

TEST(CompLines, ExampleRecordIsLineTenCommandSevenWithTwoParameters) {
  CompLineList lines;
  lines.LoadFromBuffer(Stream(1, kExampleRecord));
  ASSERT_EQ(lines.Count(), 1u);
  const CompLine& line = lines.Lines[0];
  EXPECT_EQ(line.CommandNo, 7);
  EXPECT_EQ(line.LineNo, 10);
  EXPECT_EQ(line.ParamCount, 2);
  EXPECT_EQ(line.Param(1), "Files\\");
  EXPECT_EQ(line.Param(2), "1");
  EXPECT_EQ(line.Param(3), "");  // beyond ParamCount: empty
  EXPECT_EQ(line.Param(0), "");

  EXPECT_EQ(lines.SaveToBuffer(), Stream(1, kExampleRecord));
}

TEST(CompLines, InertLineIsStoredAsMinusOnesAndNoParameters) {
  CompLineList lines;
  CompLine line;
  line.AddParam("x");
  line.MakeInert();
  lines.Lines.push_back(line);
  EXPECT_EQ(lines.SaveToBuffer(), Stream(1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(CompLines, ZeroLinesLoadAsEmpty) {
  CompLineList lines;
  lines.Lines.resize(3);
  lines.LoadFromBuffer(Stream(0, {}));
  EXPECT_EQ(lines.Count(), 0u);
  lines.LoadFromBuffer(nullptr, 0);
  EXPECT_EQ(lines.Count(), 0u);
}

TEST(CompLines, NegativeParamCountReadsNoStrings) {
  std::vector<uint8_t> rec = {0x08, 0, 0, 0, 0x01, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  auto second = kExampleRecord;
  rec.insert(rec.end(), second.begin(), second.end());
  CompLineList lines;
  lines.LoadFromBuffer(Stream(2, rec));
  ASSERT_EQ(lines.Count(), 2u);
  EXPECT_EQ(lines.Lines[0].ParamCount, 0);
  EXPECT_TRUE(lines.Lines[0].Params.empty());
  EXPECT_EQ(lines.Lines[1].CommandNo, 7);  // the next record starts right after
}

TEST(CompLines, CountsBeyondTheDataCreateNothingTheBytesCannotHold) {
  // 65,535 lines promised, one present; ParamCount 2^31-1 promised, 3 bytes left.
  std::vector<uint8_t> rec = {0x07, 0, 0, 0, 0x00, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 'a'};
  CompLineList lines;
  lines.LoadFromBuffer(Stream(0xFFFF, rec));
  ASSERT_EQ(lines.Count(), 1u);
  EXPECT_EQ(lines.Lines[0].ParamCount, 1);
  EXPECT_EQ(lines.Lines[0].Param(1), "a");
}

TEST(CompLines, RecordCutMidwayReadsMissingNumbersAsZero) {
  std::vector<uint8_t> rec = {0x0F, 0, 0, 0, 0x03};
  CompLineList lines;
  lines.LoadFromBuffer(Stream(1, rec));
  ASSERT_EQ(lines.Count(), 1u);
  EXPECT_EQ(lines.Lines[0].CommandNo, 15);
  EXPECT_EQ(lines.Lines[0].LineNo, 0);
  EXPECT_EQ(lines.Lines[0].ParamCount, 0);
}

TEST(CompLines, SetParamGrowsAndKeepsTheCount) {
  CompLine line;
  line.SetParam(3, "c");
  EXPECT_EQ(line.ParamCount, 3);
  EXPECT_EQ(line.Param(1), "");
  EXPECT_EQ(line.Param(3), "c");
}

}  // namespace
}  // namespace ferry
