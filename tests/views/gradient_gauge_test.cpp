#include "views/win32/gradient_gauge.h"

#include <gtest/gtest.h>

#include <vector>

namespace ferry {
namespace {

// Paints a gauge into a 32-bit memory bitmap and returns its pixels as
// 0xRRGGBB, row-major.
std::vector<uint32_t> Paint(const GradientGauge& gauge, int w, int h, uint32_t background = 0x123456) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all = {0, 0, w, h};
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  gauge.PaintTo(dc, w, h);
  GdiFlush();
  std::vector<uint32_t> px(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + w * h);
  for (uint32_t& p : px) p &= 0xFFFFFF;
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
  return px;
}

// COLORREF 0x00BBGGRR as the DIB's 0xRRGGBB.
uint32_t Rgb(uint32_t colorref) {
  return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

TEST(GradGaugeRules, DefaultsAsCreated) {
  GradientGauge g;
  EXPECT_EQ(g.Backcolor(), 0xFFFFFFu);
  EXPECT_EQ(g.BorderColor(), 8875610u);
  EXPECT_EQ(g.BorderStyle(), GaugeBorderStyle::ggSolid);
  EXPECT_EQ(g.Color1(), 13740692u);
  EXPECT_EQ(g.Color2(), 13740692u);
  EXPECT_EQ(g.Min(), 0);
  EXPECT_EQ(g.Max(), 100);
  EXPECT_EQ(g.Progress(), 0);
  EXPECT_EQ(g.Caption(), "0%");
  EXPECT_TRUE(g.Autocaption());
  BITMAP bm = {};
  ASSERT_TRUE(GetObjectW(g.GradientBitmap(), sizeof(bm), &bm));
  EXPECT_EQ(bm.bmWidth, 200);
  EXPECT_EQ(bm.bmHeight, 35);
}

TEST(GradGaugeRules, ProgressClampsAndCaptionFollows) {
  GradientGauge g;
  g.SetProgress(150);
  EXPECT_EQ(g.Progress(), 100);
  EXPECT_EQ(g.Caption(), "100%");
  g.SetProgress(-5);
  EXPECT_EQ(g.Progress(), 0);
  EXPECT_EQ(g.Caption(), "0%");
}

TEST(GradGaugeRules, RangeSettersIgnoreImpossibleValues) {
  GradientGauge g;
  g.SetMax(0);  // not above Min
  EXPECT_EQ(g.Max(), 100);
  g.SetMin(100);  // not below Max
  EXPECT_EQ(g.Min(), 0);
  g.SetProgress(80);
  g.SetMax(50);
  EXPECT_EQ(g.Max(), 50);
  EXPECT_EQ(g.Progress(), 50);
  EXPECT_EQ(g.Caption(), "100%");
  g.SetMin(60);  // above the progress: progress follows
  EXPECT_EQ(g.Progress(), 50);  // Min 60 is not below Max 50: ignored
  g.SetMin(20);
  EXPECT_EQ(g.Min(), 20);
  EXPECT_EQ(g.Progress(), 50);
  EXPECT_EQ(g.Caption(), "100%");
}

TEST(GradGaugeRules, FillRoundsWhileCaptionTruncates) {
  GradientGauge g;
  g.SetMax(3);
  g.SetProgress(2);
  EXPECT_EQ(g.Caption(), "66%");
  EXPECT_EQ(g.FillPercent(), 67);
  EXPECT_EQ(g.FillWidth(103), 67);
  EXPECT_EQ(g.FillWidth(200), 197 * 67 / 100);
  // Half way between two percents rounds to the even one.
  g.SetMax(200);
  g.SetProgress(1);  // 0.5 %
  EXPECT_EQ(g.FillPercent(), 0);
  g.SetProgress(3);  // 1.5 %
  EXPECT_EQ(g.FillPercent(), 2);
}

TEST(GradGaugeRules, CaptionWithoutAutocaption) {
  GradientGauge g;
  g.SetAutocaption(false);
  g.SetCaption("Copying");
  g.SetProgress(40);
  EXPECT_EQ(g.Caption(), "Copying");
  g.SetAutocaption(true);
  EXPECT_EQ(g.Caption(), "40%");
}

TEST(GradGaugePaint, SolidFillBackAndBorder) {
  GradientGauge g;
  g.SetColor1(0x0000FF);  // pure red: blue 00, green 00, red FF
  g.SetColor2(g.Color1());
  g.SetBackcolor(0x00FF00);
  g.SetProgress(50);
  const int w = 103, h = 20;
  std::vector<uint32_t> px = Paint(g, w, h);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * w + x]; };
  EXPECT_EQ(at(0, 0), Rgb(0x123456));               // outside the border: untouched
  EXPECT_EQ(at(1, 10), Rgb(GradientGauge::kDefaultBorderColor));  // solid border
  EXPECT_EQ(at(w - 1, 10), Rgb(GradientGauge::kDefaultBorderColor));
  EXPECT_EQ(at(2, 3), 0xFF0000u);                   // fill starts at 2
  EXPECT_EQ(at(2 + 50 - 1, 3), 0xFF0000u);          // 50 pixels for 50 %
  EXPECT_EQ(at(2 + 50, 3), 0x00FF00u);              // then the background
  EXPECT_EQ(at(w - 2, 3), 0x00FF00u);
}

// High contrast: the set colours give way to the system's.
TEST(GradGaugePaint, SystemColoursReplaceTheSetOnes) {
  GradientGauge g;
  g.SetColor1(0x0000FF);
  g.SetColor2(0x00FF00);
  g.SetBackcolor(0x00FF00);
  g.SetProgress(50);
  g.SetSystemColours(true);
  const int w = 103, h = 20;
  std::vector<uint32_t> px = Paint(g, w, h);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * w + x]; };
  EXPECT_EQ(at(1, 10), Rgb(GetSysColor(COLOR_WINDOWTEXT)));
  EXPECT_EQ(at(3, 3), Rgb(GetSysColor(COLOR_HIGHLIGHT)));
  EXPECT_EQ(at(w - 3, 3), Rgb(GetSysColor(COLOR_WINDOW)));
}

TEST(GradGaugePaint, GradientRunsTopToBottom) {
  GradientGauge g;
  g.SetColor1(0x000000);
  g.SetColor2(0xFFFFFF);
  g.SetBackcolor(0x00FF00);
  g.SetProgress(100);
  const int w = 103, h = 40;
  std::vector<uint32_t> px = Paint(g, w, h);
  uint32_t top = px[2 * w + 10] & 0xFF, bottom = px[(h - 3) * w + 10] & 0xFF;
  EXPECT_LT(top, 0x20u);
  EXPECT_GT(bottom, 0xE0u);
  // Full: no background part anywhere inside the border.
  for (int y = 2; y < h - 1; ++y)
    for (int x = 2; x < w - 1; ++x) ASSERT_NE(px[static_cast<size_t>(y) * w + x], 0x00FF00u) << x << "," << y;
}

TEST(GradGaugePaint, RaisedAndLoweredSwapColours) {
  GradientGauge g;
  g.SetBorderStyle(GaugeBorderStyle::ggRaised);
  const int w = 60, h = 20;
  std::vector<uint32_t> raised = Paint(g, w, h);
  g.SetBorderStyle(GaugeBorderStyle::ggLowered);
  std::vector<uint32_t> lowered = Paint(g, w, h);
  uint32_t border = Rgb(GradientGauge::kDefaultBorderColor);
  EXPECT_EQ(raised[10 * w + 1], 0xFFFFFFu);         // left edge
  EXPECT_EQ(raised[10 * w + (w - 1)], border);      // right edge
  EXPECT_EQ(lowered[10 * w + 1], border);
  EXPECT_EQ(lowered[10 * w + (w - 1)], 0xFFFFFFu);
}

}  // namespace
}  // namespace ferry
