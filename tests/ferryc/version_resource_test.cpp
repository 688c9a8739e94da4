// Filling the version resource of a stub in place.
#include <gtest/gtest.h>

#include "version_resource.h"

namespace ferry::tool {
namespace {

// A version resource block as the resource compiler lays it out.
struct Node {
  std::u16string key;
  uint16_t type = 1;
  uint16_t valueLength = 0;
  std::vector<uint8_t> value;
  std::vector<Node> children;
};

void Pad4(std::vector<uint8_t>& out) {
  while (out.size() % 4) out.push_back(0);
}

std::vector<uint8_t> Encode(const Node& n) {
  std::vector<uint8_t> out(6);
  for (char16_t c : n.key + u'\0') {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  Pad4(out);
  out.insert(out.end(), n.value.begin(), n.value.end());
  for (const Node& child : n.children) {
    Pad4(out);
    std::vector<uint8_t> c = Encode(child);
    out.insert(out.end(), c.begin(), c.end());
  }
  out[0] = static_cast<uint8_t>(out.size());
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  out[2] = static_cast<uint8_t>(n.valueLength);
  out[3] = static_cast<uint8_t>(n.valueLength >> 8);
  out[4] = static_cast<uint8_t>(n.type);
  return out;
}

// A string value with room for `room` characters, the NUL included: as the
// stub holds it (blank padded) or as a fill leaves it (NUL padded).
Node Text(std::u16string key, std::u16string text, size_t room, bool filled) {
  Node n{std::move(key), 1, static_cast<uint16_t>(filled ? text.size() + 1 : room), {}, {}};
  text.resize(room - 1, filled ? u'\0' : u' ');
  for (char16_t c : text + u'\0') {
    n.value.push_back(static_cast<uint8_t>(c));
    n.value.push_back(static_cast<uint8_t>(c >> 8));
  }
  return n;
}

std::vector<uint8_t> Image(VersionNumbers numbers, std::vector<Node> strings) {
  Node root{u"VS_VERSION_INFO", 0, 52, {}, {}};
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) root.value.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  for (uint32_t v : {0xFEEF04BDu, 0x10000u, uint32_t{numbers[0]} << 16 | numbers[1],
                     uint32_t{numbers[2]} << 16 | numbers[3], uint32_t{numbers[0]} << 16 | numbers[1],
                     uint32_t{numbers[2]} << 16 | numbers[3], 0x3Fu, 0u, 0x40004u, 1u, 0u, 0u, 0u})
    u32(v);
  Node table{u"040904B0", 1, 0, {}, std::move(strings)};
  root.children.push_back(Node{u"StringFileInfo", 1, 0, {}, {table}});
  Node translation{u"Translation", 0, 4, {0x09, 0x04, 0xB0, 0x04}, {}};
  root.children.push_back(Node{u"VarFileInfo", 1, 0, {}, {translation}});
  std::vector<uint8_t> image = {'M', 'Z', 0, 0};
  std::vector<uint8_t> block = Encode(root);
  image.insert(image.end(), block.begin(), block.end());
  for (char c : std::string("rest of the program")) image.push_back(static_cast<uint8_t>(c));
  return image;
}

std::vector<Node> StubStrings() {
  return {Text(u"CompanyName", u"", 32, false), Text(u"ProductName", u"Ferry Setup", 32, false),
          Text(u"ProductVersion", u"0.0.0.0", 12, false)};
}

TEST(VersionResource, FillsNumbersAndTextsInPlaceAndAgainToTheSameBytes) {
  std::vector<uint8_t> image = Image({0, 0, 0, 0}, StubStrings());
  VersionFill fill;
  fill.FileVersion = fill.ProductVersion = {1, 2, 3, 65535};
  fill.Values = {{u"ProductName", u"Tidewater Atlas"}, {u"ProductVersion", u"1.2.3.65535"}, {u"CompanyName", u""}};
  std::vector<std::string> problems;
  ASSERT_EQ(FillVersionResource(image, fill, problems), VersionFillResult::kFilled);
  EXPECT_TRUE(problems.empty()) << problems[0];
  const std::vector<uint8_t> expected =
      Image({1, 2, 3, 65535}, {Text(u"CompanyName", u"", 32, true), Text(u"ProductName", u"Tidewater Atlas", 32, true),
                               Text(u"ProductVersion", u"1.2.3.65535", 12, true)});
  EXPECT_EQ(image, expected);
  ASSERT_EQ(FillVersionResource(image, fill, problems), VersionFillResult::kFilled);
  EXPECT_EQ(image, expected);
}

TEST(VersionResource, TooLongTextsAreCutAndMissingValuesNamed) {
  std::vector<uint8_t> image = Image({0, 0, 0, 0}, StubStrings());
  VersionFill fill;
  fill.Values = {{u"ProductVersion", u"1.2.3.4 release candidate"}, {u"FileDescription", u"Patch"}};
  std::vector<std::string> problems;
  ASSERT_EQ(FillVersionResource(image, fill, problems), VersionFillResult::kFilled);
  EXPECT_EQ(image, Image({0, 0, 0, 0}, {Text(u"CompanyName", u"", 32, false),
                                        Text(u"ProductName", u"Ferry Setup", 32, false),
                                        Text(u"ProductVersion", u"1.2.3.4 rel", 12, true)}));
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("at most 11 characters"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("FileDescription"), std::string::npos) << problems[1];
}

TEST(VersionResource, ImagesWithoutOneSoundResourceStayAsTheyAre) {
  std::vector<uint8_t> one = Image({0, 0, 0, 0}, StubStrings());
  std::vector<uint8_t> two = one;
  two.insert(two.end(), one.begin(), one.end());
  std::vector<uint8_t> overlong = one;
  overlong[5] = 0x7F;  // the block claims more than the image holds
  std::vector<uint8_t> unsigned_ = one;
  unsigned_[4 + 40] ^= 1;  // the fixed part's signature
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    VersionFillResult result;
  } cases[] = {
      {"no resource", std::vector<uint8_t>(200, 'x'), VersionFillResult::kNoResource},
      {"two resources", two, VersionFillResult::kAmbiguous},
      {"a block longer than the image", overlong, VersionFillResult::kNoResource},
      {"no fixed-part signature", unsigned_, VersionFillResult::kNoResource},
  };
  VersionFill fill;
  fill.FileVersion = {9, 9, 9, 9};
  fill.Values = {{u"ProductName", u"X"}};
  for (Case& c : cases) {
    std::vector<uint8_t> image = c.image;
    std::vector<std::string> problems;
    EXPECT_EQ(FillVersionResource(image, fill, problems), c.result) << c.what;
    EXPECT_EQ(image, c.image) << c.what;
  }
}

TEST(VersionResource, VersionNumbersComeFromTheTextsStart) {
  struct Case {
    const char* text;
    std::optional<VersionNumbers> numbers;
  } cases[] = {
      {"1.2", VersionNumbers{1, 2, 0, 0}},
      {"1.2.3.4", VersionNumbers{1, 2, 3, 4}},
      {"1.2.3.4.5", VersionNumbers{1, 2, 3, 4}},
      {"2.0 beta", VersionNumbers{2, 0, 0, 0}},
      {"3.", VersionNumbers{3, 0, 0, 0}},
      {"65535.0", VersionNumbers{65535, 0, 0, 0}},
      {"65536", std::nullopt},
      {"v1.2", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseVersionNumbers(c.text), c.numbers) << c.text;
}

TEST(VersionResource, ThePeChecksumIsClearedOnlyInAProgram) {
  std::vector<uint8_t> pe(0x40 + 24 + 96, 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  pe[0x3C] = 0x40;
  pe[0x40] = 'P';
  pe[0x41] = 'E';
  pe[0x40 + 24] = 0x0B;  // PE32+
  pe[0x40 + 25] = 0x02;
  std::vector<uint8_t> expected = pe;
  for (size_t i = 0; i < 4; ++i) pe[0x40 + 24 + 64 + i] = static_cast<uint8_t>(0xC7 + i);
  EXPECT_TRUE(ClearPeChecksum(pe));
  EXPECT_EQ(pe, expected);

  std::vector<uint8_t> cut(pe.begin(), pe.begin() + 0x40 + 24 + 66);
  std::vector<uint8_t> standIn = {'M', 'Z', 0, 0};
  standIn.resize(4096);
  for (std::vector<uint8_t>* image : {&cut, &standIn}) {
    std::vector<uint8_t> before = *image;
    EXPECT_FALSE(ClearPeChecksum(*image));
    EXPECT_EQ(*image, before);
  }
}

}  // namespace
}  // namespace ferry::tool
