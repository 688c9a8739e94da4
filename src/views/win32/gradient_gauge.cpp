#include "views/win32/gradient_gauge.h"

#include <oleacc.h>

#include <cmath>

#include "platform/win_text.h"
#include "views/win32/accessible_control.h"
#include "views/win32/graphic_paint.h"

namespace ferry {

bool GradientGauge::force_refresh_ = false;

COLORREF ResolveColour(uint32_t colour) {
  if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFF));
  return static_cast<COLORREF>(colour & 0xFFFFFF);
}

namespace {

bool RegisterGaugeClass() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  if (GetClassInfoExW(instance, GradientGauge::kClassName, &wc)) return true;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window below
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = GradientGauge::kClassName;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

GradientGauge::GradientGauge(const GradGaugeArgs& args) : font_(args.Font) {
  BuildGradient();
  if (!args.Parent) return;
  RegisterGaugeClass();
  hwnd_ = CreateWindowExW(0, kClassName, L"0%", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, args.Left, args.Top,
                          args.Width, args.Height, args.Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GradientGauge::WindowProc));
  SetPropW(hwnd_, kGraphicProp, reinterpret_cast<HANDLE>(1));
}

GradientGauge::~GradientGauge() {
  if (hwnd_) {
    RemovePropW(hwnd_, kGraphicProp);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (gradient_) DeleteObject(gradient_);
}

LRESULT CALLBACK GradientGauge::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<GradientGauge*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintGraphic(hwnd, [self](HDC dc, int w, int h) { self->PaintTo(dc, w, h); });
        return 0;
      case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        self->PaintTo(reinterpret_cast<HDC>(wp), rc.right, rc.bottom);
        return 0;
      }
      case WM_GETOBJECT:
        if (LRESULT object = AnswerGetObject(hwnd, wp, lp)) return object;
        break;
      case kMsgAccessibleFacts: {
        // Named and valued by the percentage it shows.
        auto* facts = reinterpret_cast<AccessibleFacts*>(lp);
        facts->Role = ROLE_SYSTEM_PROGRESSBAR;
        facts->Name = AnsiToWide(self->caption_);
        facts->Value = facts->Name;
        facts->State = STATE_SYSTEM_READONLY;
        return 1;
      }
      case WM_SETFONT:
        self->font_ = reinterpret_cast<HFONT>(wp);
        if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void GradientGauge::Invalidate() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void GradientGauge::PaintNow() {
  if (!hwnd_) return;
  SetWindowTextW(hwnd_, AnsiToWide(caption_).c_str());
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  NotifyValueChanged(hwnd_);
}

void GradientGauge::SetBackcolor(uint32_t value) {
  if (value == back_color_) return;
  back_color_ = value;
  Invalidate();
}

void GradientGauge::SetBorderColor(uint32_t value) {
  if (value == border_color_) return;
  border_color_ = value;
  Invalidate();
}

void GradientGauge::SetBorderStyle(GaugeBorderStyle value) {
  if (value == border_style_) return;
  border_style_ = value;
  Invalidate();
}

void GradientGauge::SetColor1(uint32_t value) {
  if (value == color1_) return;
  color1_ = value;
  BuildGradient();
  Invalidate();
}

void GradientGauge::SetColor2(uint32_t value) {
  if (value == color2_) return;
  color2_ = value;
  BuildGradient();
  Invalidate();
}

void GradientGauge::SetMin(int32_t value) {
  if (value == min_ || value >= max_) return;
  min_ = value;
  if (progress_ < min_) progress_ = min_;
  if (autocaption_) {
    force_refresh_ = true;
    SetProgress(progress_);
  }
  Invalidate();
}

void GradientGauge::SetMax(int32_t value) {
  if (value == max_ || value <= min_) return;
  max_ = value;
  if (progress_ > max_) progress_ = max_;
  if (autocaption_) {
    force_refresh_ = true;
    SetProgress(progress_);
  }
  Invalidate();
}

void GradientGauge::SetProgress(int32_t value) {
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  if (value == progress_ && !force_refresh_) return;
  progress_ = value;
  UpdateAutoCaption();
  force_refresh_ = false;
  PaintNow();
}

void GradientGauge::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  PaintNow();
}

void GradientGauge::SetAutocaption(bool value) {
  if (value == autocaption_) return;
  autocaption_ = value;
  if (value) {
    force_refresh_ = true;
    SetProgress(progress_);
  }
  Invalidate();
}

void GradientGauge::SetSystemColours(bool on) {
  if (on == system_colours_) return;
  system_colours_ = on;
  Invalidate();
}

void GradientGauge::UpdateAutoCaption() {
  if (!autocaption_) return;
  if (max_ / 100.0 > 0) {
    double step = (static_cast<double>(max_) - min_) / 100.0;
    caption_ = std::to_string(static_cast<long long>(std::trunc((static_cast<double>(progress_) - min_) / step))) + "%";
  } else {
    caption_ = "0%";
  }
}

int GradientGauge::FillPercent() const {
  // The range is never empty: Min stays below Max.
  double ratio = (static_cast<double>(progress_) - min_) / (static_cast<double>(max_) - min_) * 100.0;
  return static_cast<int>(std::nearbyint(ratio));  // default rounding: half to even
}

int GradientGauge::FillWidth(int width) const { return (width - 3) * FillPercent() / 100; }

void GradientGauge::BuildGradient() {
  if (!gradient_) {
    // Built once at the gauge's first size and never resized.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kGradientWidth;
    bi.bmiHeader.biHeight = -kGradientHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    gradient_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!gradient_) return;
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, gradient_);
  COLORREF start = ResolveColour(color1_), end = ResolveColour(color2_);
  int r0 = GetRValue(start), g0 = GetGValue(start), b0 = GetBValue(start);
  int dr = GetRValue(end) - r0, dg = GetGValue(end) - g0, db = GetBValue(end) - b0;
  for (int i = 0; i < 256; ++i) {
    RECT band = {0, MulDiv(i, kGradientHeight, 256), kGradientWidth, MulDiv(i + 1, kGradientHeight, 256)};
    HBRUSH brush = CreateSolidBrush(RGB(r0 + MulDiv(i, dr, 255), g0 + MulDiv(i, dg, 255), b0 + MulDiv(i, db, 255)));
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
}

void GradientGauge::PaintTo(HDC dc, int w, int h) const {
  if (hwnd_ && !IsWindowVisible(hwnd_)) return;
  const COLORREF border = system_colours_ ? GetSysColor(COLOR_WINDOWTEXT) : ResolveColour(border_color_);
  const COLORREF back = system_colours_ ? GetSysColor(COLOR_WINDOW) : ResolveColour(back_color_);
  HPEN borderPen = CreatePen(PS_SOLID, 1, border);
  HPEN whitePen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(dc, borderPen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  switch (border_style_) {
    case GaugeBorderStyle::ggSolid:
      Rectangle(dc, 1, 1, w, h);
      break;
    case GaugeBorderStyle::ggRaised:
    case GaugeBorderStyle::ggLowered: {
      bool raised = border_style_ == GaugeBorderStyle::ggRaised;
      SelectObject(dc, raised ? whitePen : borderPen);
      MoveToEx(dc, 1, h, nullptr);
      LineTo(dc, 1, 1);
      LineTo(dc, w - 1, 1);
      SelectObject(dc, raised ? borderPen : whitePen);
      LineTo(dc, w - 1, h - 1);
      LineTo(dc, 0, h - 1);
      break;
    }
  }
  int p = FillPercent();
  int f = (w - 3) * p / 100;
  if (f != 0) {
    RECT fill = {2, 2, f + 2, h - 1};
    if (color1_ == color2_ || system_colours_) {
      HBRUSH brush = CreateSolidBrush(system_colours_ ? GetSysColor(COLOR_HIGHLIGHT) : ResolveColour(color1_));
      FillRect(dc, &fill, brush);
      DeleteObject(brush);
    } else {
      HDC src = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(src, gradient_);
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchBlt(dc, fill.left, fill.top, fill.right - fill.left, fill.bottom - fill.top, src, 0, 0, kGradientWidth,
                 kGradientHeight, SRCCOPY);
      SelectObject(src, old);
      DeleteDC(src);
    }
  }
  if (p < 100) {
    // A rectangle without outline leaves the right and bottom border line.
    HBRUSH brush = CreateSolidBrush(back);
    SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, brush);
    Rectangle(dc, f + 2, 2, w, h);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    DeleteObject(brush);
  }
  HFONT font = font_ ? font_ : (hwnd_ ? reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd_), WM_GETFONT, 0, 0)) : nullptr);
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  RECT all = {0, 0, w, h};
  std::wstring text = AnsiToWide(caption_);
  const UINT format = DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX;
  if (system_colours_) {
    // The part of the caption over the fill in the highlight's text colour.
    int saved = SaveDC(dc);
    IntersectClipRect(dc, 2, 2, f + 2, h - 1);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all, format);
    RestoreDC(dc, saved);
    saved = SaveDC(dc);
    ExcludeClipRect(dc, 2, 2, f + 2, h - 1);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all, format);
    RestoreDC(dc, saved);
  } else {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &all, format);
  }
  if (oldFont) SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(borderPen);
  DeleteObject(whitePen);
}

}  // namespace ferry
