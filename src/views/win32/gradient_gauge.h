// GradientGauge: the wizard's progress bar. A bordered bar filled from the left
// in proportion to its progress, with a vertical gradient (or one solid
// colour), the rest in a background colour, and a centred caption that
// follows the percentage unless told otherwise.
//
// The state and its rules work without a window (tests drive them that
// way); Attach() gives the gauge a child window to paint on. Progress and
// caption changes repaint at once, so progress shows while the main thread
// is busy.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace ferry {

enum class GaugeBorderStyle : uint8_t { ggSolid = 0, ggRaised = 1, ggLowered = 2 };

struct GradGaugeArgs {
  HWND Parent = nullptr;  // none: no window (rules only)
  int Left = 0, Top = 0;
  int Width = 200, Height = 40;
  HFONT Font = nullptr;   // none: the parent's
};

class GradientGauge {
 public:
  static constexpr uint32_t kDefaultBorderColor = 0x876E5A;
  static constexpr uint32_t kDefaultColor = 0xD1AA94;
  static constexpr int kGradientWidth = 200;
  static constexpr int kGradientHeight = 35;
  static constexpr const wchar_t* kClassName = L"FerryGradGauge";

  explicit GradientGauge(const GradGaugeArgs& args = {});
  ~GradientGauge();
  GradientGauge(const GradientGauge&) = delete;
  GradientGauge& operator=(const GradientGauge&) = delete;

  uint32_t Backcolor() const { return back_color_; }
  uint32_t BorderColor() const { return border_color_; }
  GaugeBorderStyle BorderStyle() const { return border_style_; }
  uint32_t Color1() const { return color1_; }
  uint32_t Color2() const { return color2_; }
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  int32_t Progress() const { return progress_; }
  const std::string& Caption() const { return caption_; }
  bool Autocaption() const { return autocaption_; }

  void SetBackcolor(uint32_t value);
  void SetBorderColor(uint32_t value);
  void SetBorderStyle(GaugeBorderStyle value);
  void SetColor1(uint32_t value);
  void SetColor2(uint32_t value);
  void SetMin(int32_t value);
  void SetMax(int32_t value);
  void SetProgress(int32_t value);
  void SetCaption(const std::string& value);
  void SetAutocaption(bool value);
  // In high contrast: the system's colours instead of the set ones.
  void SetSystemColours(bool on);

  // The fill percentage (rounded half to even) and the fill width in pixels
  // for a control `width` wide.
  int FillPercent() const;
  int FillWidth(int width) const;

  HWND Handle() const { return hwnd_; }
  HBITMAP GradientBitmap() const { return gradient_; }
  // Paints the whole control into `dc` at 0,0 (width x height).
  void PaintTo(HDC dc, int width, int height) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void UpdateAutoCaption();
  void BuildGradient();
  void Invalidate();
  void PaintNow();

  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HBITMAP gradient_ = nullptr;
  uint32_t back_color_ = 0xFFFFFF;
  uint32_t border_color_ = kDefaultBorderColor;
  GaugeBorderStyle border_style_ = GaugeBorderStyle::ggSolid;
  uint32_t color1_ = kDefaultColor;
  uint32_t color2_ = kDefaultColor;
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t progress_ = 0;
  std::string caption_ = "0%";
  bool autocaption_ = true;
  bool system_colours_ = false;
  // Shared by all gauges: the next SetProgress repaints even without change.
  static bool force_refresh_;
};

// A colour value as RGB: system colour values (high bit set) become the
// current colour of that element.
COLORREF ResolveColour(uint32_t colour);

}  // namespace ferry
