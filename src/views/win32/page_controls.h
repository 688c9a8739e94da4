// One window per control of a layout page, made from its description and
// kept in step with it. Labels, pictures, bevels and the gauge paint like
// window-less controls (ui/win32/graphic_paint.h): transparent labels show
// the picture behind them.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "formats/layout/layout_file.h"
#include "views/win32/accessible_control.h"
#include "views/win32/folder_tree.h"
#include "views/win32/gradient_gauge.h"
#include "views/win32/picture.h"
#include "views/win32/system_look.h"

namespace ferry {

// Window property holding a page control's component name as a global atom.
inline constexpr const wchar_t* kNameProp = L"FerryName";

struct PageControlArgs {
  HWND Panel = nullptr;
  const LayoutControl* Control = nullptr;
  HFONT ParentFont = nullptr;   // the form's font
  int Dpi = 96;                  // layout pixels are 96-dpi pixels
  UINT Id = 0;
  const Palette* Colours = nullptr;  // the form's palette, read at every paint
};

class PageControlView {
 public:
  explicit PageControlView(const PageControlArgs& args);
  ~PageControlView();
  PageControlView(const PageControlView&) = delete;
  PageControlView& operator=(const PageControlView&) = delete;

  HWND Handle() const { return hwnd_; }
  ControlKind Kind() const { return kind_; }
  FolderTree* Tree() { return tree_.get(); }
  GradientGauge* Gauge() { return gauge_.get(); }
  // Text colour for WM_CTLCOLOR* and painting, under the form's palette.
  COLORREF TextColour() const;

  // Brings the window in line with the description: visibility, enabled
  // state, text, gauge position. Only what changed is touched.
  void Sync(const LayoutControl& c);
  // The colours of the windowed controls (tree, change log, gauge) again,
  // after the palette changed; drawn controls read it when they paint.
  void ApplyPalette();
  // Places, fonts and pictures again for another scale; `parentFont` is
  // the form's font at that scale.
  void Rescale(int dpi, HFONT parentFont);
  // Paints a graphic control's own content (no background below it).
  void PaintOwn(HDC dc, int w, int h);
  // What a screen reader is told of a drawn control.
  AccessibleFacts Facts() const;

 private:
  static LRESULT CALLBACK GraphicProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void CreateGraphic(const PageControlArgs& args, int x, int y, int w, int h, bool markGraphic);
  void LoadRichText(const std::vector<uint8_t>& rtf);
  void AutoSizeLabel();
  int Scale(int v) const { return MulDiv(v, dpi_, 96); }

  HWND hwnd_ = nullptr;
  HWND panel_ = nullptr;
  ControlKind kind_;
  int dpi_ = 96;
  HFONT font_ = nullptr;       // owned when the layout set a font
  HFONT draw_font_ = nullptr;  // font used to draw (own or parent's)
  std::optional<uint32_t> text_colour_, dark_text_colour_;
  const Palette* palette_;
  bool transparent_ = false;
  bool word_wrap_ = false;
  bool auto_size_ = false;
  bool stretch_ = false, center_ = false;
  int layout_left_ = 0, layout_top_ = 0, layout_width_ = 0, layout_height_ = 0;
  FontStyle font_style_;
  std::wstring text_;
  Picture picture_;
  std::unique_ptr<FolderTree> tree_;
  std::unique_ptr<GradientGauge> gauge_;

  bool synced_ = false;
  bool visible_ = false;
  bool enabled_ = true;
  bool checked_ = false;
  std::u16string shown_text_;
};

// CR alone (a layout's "<BR>") as CR LF, as Windows controls want it.
std::wstring WindowsLineBreaks(std::u16string_view text);

}  // namespace ferry
