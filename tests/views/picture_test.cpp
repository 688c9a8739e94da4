#include "views/win32/picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "views/win32/page_controls.h"

namespace ferry {
namespace {

// A 24-bit bottom-up BMP file of w x h pixels given top row first (0xRRGGBB).
std::vector<uint8_t> Bmp(int w, int h, const std::vector<uint32_t>& topDown) {
  int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> file(14 + 40 + static_cast<size_t>(stride) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  put16(26, 1);
  put16(28, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t p = topDown[static_cast<size_t>(y) * w + x];
      uint8_t* d = &file[54 + static_cast<size_t>(h - 1 - y) * stride + x * 3];
      d[0] = p & 0xFF;
      d[1] = (p >> 8) & 0xFF;
      d[2] = (p >> 16) & 0xFF;
    }
  return file;
}

const uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;

TEST(Picture, DecodesBitmapThroughTheImagingComponent) {
  Picture pic;
  ASSERT_TRUE(pic.Load(ImageFormat::kBitmap, Bmp(2, 2, {R, G, B, R})));
  EXPECT_EQ(pic.Width(), 2);
  EXPECT_EQ(pic.Height(), 2);
  EXPECT_EQ(pic.Pixel(0, 0), R);
  EXPECT_EQ(pic.Pixel(1, 0), G);
  EXPECT_EQ(pic.Pixel(0, 1), B);
}

TEST(Picture, GarbageLeavesItEmpty) {
  Picture pic;
  std::vector<uint8_t> junk(64, 0x5A);
  EXPECT_FALSE(pic.Load(ImageFormat::kJpeg, junk));
  EXPECT_TRUE(pic.Empty());
  EXPECT_FALSE(pic.Load(ImageFormat::kMetafile, junk));
  EXPECT_FALSE(pic.Load(ImageFormat::kNone, junk));
}

TEST(Picture, TransparentTakesTheBottomLeftColour) {
  Picture pic;
  ASSERT_TRUE(pic.Load(ImageFormat::kBitmap, Bmp(2, 2, {R, G, B, B})));
  pic.MakeTransparent();
  EXPECT_EQ(pic.Pixel(0, 0), R);
  EXPECT_EQ(pic.Pixel(0, 1), 0u);  // blue became clear (premultiplied: black)
  EXPECT_EQ(pic.Pixel(1, 1), 0u);
}

TEST(Picture, TileRepeatsFromTheOriginAndCutsAtTheEdge) {
  Picture pic;
  ASSERT_TRUE(pic.Load(ImageFormat::kBitmap, Bmp(2, 1, {R, G})));
  pic.Tile(5, 3);
  EXPECT_EQ(pic.Width(), 5);
  EXPECT_EQ(pic.Height(), 3);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(pic.Pixel(0, y), R);
    EXPECT_EQ(pic.Pixel(1, y), G);
    EXPECT_EQ(pic.Pixel(2, y), R);
    EXPECT_EQ(pic.Pixel(4, y), R);  // the last copy cut after one column
  }
}

TEST(LineBreaks, LoneCarriageReturnsGetLineFeeds) {
  EXPECT_EQ(WindowsLineBreaks(u"a\rb"), L"a\r\nb");
  EXPECT_EQ(WindowsLineBreaks(u"a\r\nb\r"), L"a\r\nb\r\n");
  EXPECT_EQ(WindowsLineBreaks(u"plain"), L"plain");
}

}  // namespace
}  // namespace ferry
