#include "views/win32/page_controls.h"

#include <commctrl.h>
#include <oleacc.h>
#include <richedit.h>

#include <algorithm>
#include <span>

#include "platform/system_library.h"
#include "platform/win_text.h"
#include "views/win32/accessible_control.h"
#include "views/win32/graphic_paint.h"

namespace ferry {

namespace {

constexpr const wchar_t* kGraphicClass = L"FerryGraphicControl";

bool RegisterGraphicClass() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  if (GetClassInfoExW(instance, kGraphicClass, &wc)) return true;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kGraphicClass;
  return RegisterClassExW(&wc) != 0;
}

// Default sizes of the toolkit's controls, for layouts that set none.
void DefaultSize(ControlKind kind, int& w, int& h) {
  switch (kind) {
    case ControlKind::kLabel: w = 65; h = 17; break;
    case ControlKind::kEdit: w = 121; h = 21; break;
    case ControlKind::kShellTreeView: w = 121; h = 97; break;
    case ControlKind::kButton: w = 75; h = 25; break;
    case ControlKind::kRadioButton: w = 113; h = 17; break;
    case ControlKind::kImage: w = 105; h = 105; break;
    case ControlKind::kPanel: w = 185; h = 41; break;
    case ControlKind::kBevel: w = 50; h = 50; break;
    case ControlKind::kMemo:
    case ControlKind::kRichEdit: w = 185; h = 89; break;
    case ControlKind::kProgressBar: w = 200; h = 40; break;
  }
}

HFONT MakeFont(HFONT parent, const FontStyle& form, int dpi) {
  LOGFONTW lf = {};
  GetObjectW(parent ? parent : GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  if (form.Face) {
    std::wstring face = AnsiToWide(*form.Face);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  }
  if (form.Size) lf.lfHeight = -MulDiv(*form.Size, dpi, 72);
  if (form.Bold) lf.lfWeight = *form.Bold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectW(&lf);
}

// The rest of the change log, handed to the rich edit piece by piece.
struct RichTextSource {
  std::span<const uint8_t> Rest;
};

DWORD CALLBACK ReadMemoryCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
  auto* source = reinterpret_cast<RichTextSource*>(cookie);
  const size_t n = std::min<size_t>(source->Rest.size(), static_cast<size_t>(std::max<LONG>(size, 0)));
  std::copy_n(source->Rest.begin(), n, buffer);
  source->Rest = source->Rest.subspan(n);
  *read = static_cast<LONG>(n);
  return 0;
}

const wchar_t* RichEditClass() {
  static const wchar_t* cls = [] {
    if (LoadSystemLibrary(L"msftedit.dll")) return L"RICHEDIT50W";
    LoadSystemLibrary(L"riched20.dll");
    return L"RichEdit20W";
  }();
  return cls;
}

}  // namespace

std::wstring WindowsLineBreaks(std::u16string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    out += static_cast<wchar_t>(text[i]);
    if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n')) out += L'\n';
  }
  return out;
}

PageControlView::PageControlView(const PageControlArgs& args)
    : panel_(args.Panel), kind_(args.Control->Kind), dpi_(args.Dpi), palette_(args.Colours) {
  const LayoutControl& c = *args.Control;
  int w = 0, h = 0;
  DefaultSize(kind_, w, h);
  layout_width_ = c.Width.value_or(w);
  layout_height_ = c.Height.value_or(h);
  layout_left_ = c.Left.value_or(0);
  layout_top_ = c.Top.value_or(0);
  font_style_ = c.Font;
  int x = Scale(layout_left_), y = Scale(layout_top_);
  w = Scale(layout_width_);
  h = Scale(layout_height_);
  if (!c.Font.InheritsParent()) font_ = MakeFont(args.ParentFont, c.Font, dpi_);
  draw_font_ = font_ ? font_ : args.ParentFont;
  text_colour_ = c.Font.Colour;
  dark_text_colour_ = c.DarkFontColour;
  transparent_ = c.Transparent;
  word_wrap_ = c.WordWrap;
  auto_size_ = c.AutoSize;
  stretch_ = c.Stretch;
  center_ = c.Center;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto menuId = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(args.Id));
  std::wstring name = AnsiToWide(c.Name);
  const DWORD base = WS_CHILD | WS_CLIPSIBLINGS;

  switch (kind_) {
    case ControlKind::kLabel:
    case ControlKind::kBevel:
      CreateGraphic(args, x, y, w, h, true);
      break;
    case ControlKind::kPanel:
      CreateGraphic(args, x, y, w, h, false);
      break;
    case ControlKind::kImage:
      if (c.Image && picture_.Load(c.ImageFormat, *c.Image)) {
        if (c.Transparent && c.ImageFormat != ImageFormat::kIcon) picture_.MakeTransparent();
        // Tiled in layout pixels; painting scales it with everything else.
        if (c.Tile && !picture_.Empty()) {
          picture_.Tile(layout_width_, layout_height_);
          stretch_ = true;
        }
      }
      CreateGraphic(args, x, y, w, h, true);
      break;
    case ControlKind::kEdit:
      hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", base | WS_TABSTOP | ES_AUTOHSCROLL, x, y, w, h,
                              panel_, menuId, instance, nullptr);
      break;
    case ControlKind::kButton:
      hwnd_ = CreateWindowExW(0, L"BUTTON", L"", base | WS_TABSTOP | BS_PUSHBUTTON, x, y, w, h, panel_, menuId,
                              instance, nullptr);
      break;
    case ControlKind::kRadioButton:
      // Not an automatic one: the wizard model says which is picked.
      hwnd_ = CreateWindowExW(0, L"BUTTON", L"", base | WS_TABSTOP | BS_RADIOBUTTON | BS_MULTILINE, x, y, w, h,
                              panel_, menuId, instance, nullptr);
      break;
    case ControlKind::kMemo:
      hwnd_ = CreateWindowExW(c.Border ? WS_EX_CLIENTEDGE : 0, L"EDIT", L"",
                              base | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL, x, y, w, h, panel_,
                              menuId, instance, nullptr);
      break;
    case ControlKind::kRichEdit:
      hwnd_ = CreateWindowExW(c.Border ? WS_EX_CLIENTEDGE : 0, RichEditClass(), L"",
                              base | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL |
                                  WS_HSCROLL,
                              x, y, w, h, panel_, menuId, instance, nullptr);
      break;
    case ControlKind::kShellTreeView:
      tree_ = std::make_unique<FolderTree>(FolderTreeArgs{panel_, x, y, w, h, args.Id});
      hwnd_ = tree_->Handle();
      break;
    case ControlKind::kProgressBar:
      gauge_ = std::make_unique<GradientGauge>(GradGaugeArgs{panel_, x, y, w, h, draw_font_});
      hwnd_ = gauge_->Handle();
      ShowWindow(hwnd_, SW_HIDE);
      if (c.ForeColour) {
        gauge_->SetColor1(*c.ForeColour);
        gauge_->SetColor2(gauge_->Color1());
      }
      if (c.BackColour) gauge_->SetBackcolor(*c.BackColour);
      break;
  }
  if (!hwnd_) return;
  // The component name, as a global atom, lets tools outside the process
  // (the GUI tests) find a control by name.
  SetPropW(hwnd_, kNameProp, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GlobalAddAtomW(name.c_str()))));
  SetWindowLongPtrW(hwnd_, GWLP_ID, static_cast<LONG_PTR>(args.Id));
  if (kind_ != ControlKind::kProgressBar)
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(draw_font_), FALSE);
  if (kind_ == ControlKind::kRichEdit) {
    // Lines wrap at the control's width, as a rich edit's do by default;
    // the horizontal scroll bar style alone would turn wrapping off.
    SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, 0);
    if (c.RichText) LoadRichText(*c.RichText);
    else SetWindowTextW(hwnd_, WindowsLineBreaks(c.Text).c_str());
  } else if (kind_ == ControlKind::kMemo) {
    SetWindowTextW(hwnd_, WindowsLineBreaks(c.Text).c_str());
  }
  ApplyPalette();
}

PageControlView::~PageControlView() {
  gauge_.reset();
  if (hwnd_) {
    auto atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropW(hwnd_, kNameProp)));
    if (atom) GlobalDeleteAtom(atom);
  }
  if (hwnd_ && kind_ != ControlKind::kProgressBar) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (font_) DeleteObject(font_);
}

COLORREF PageControlView::TextColour() const { return palette_->TextColour(text_colour_, dark_text_colour_); }

void PageControlView::ApplyPalette() {
  if (!hwnd_) return;
  const bool system = palette_->Look == SystemLook::kLight || palette_->Look == SystemLook::kHighContrast;
  if (tree_) {
    SendMessageW(hwnd_, TVM_SETBKCOLOR, 0, system ? static_cast<LPARAM>(-1) : palette_->FieldBack);
    SendMessageW(hwnd_, TVM_SETTEXTCOLOR, 0, system ? static_cast<LPARAM>(-1) : palette_->FieldText);
  } else if (kind_ == ControlKind::kRichEdit) {
    SendMessageW(hwnd_, EM_SETBKGNDCOLOR, system ? 1 : 0, palette_->FieldBack);
    if (!system) {
      // The change log's own text colours give way to a light one.
      CHARFORMAT2W format = {};
      format.cbSize = sizeof(format);
      format.dwMask = CFM_COLOR;
      format.crTextColor = palette_->FieldText;
      SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    }
  } else if (gauge_) {
    gauge_->SetSystemColours(palette_->Look == SystemLook::kHighContrast);
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void PageControlView::Rescale(int dpi, HFONT parentFont) {
  if (!hwnd_) return;
  dpi_ = dpi;
  if (font_) {
    DeleteObject(font_);
    font_ = MakeFont(parentFont, font_style_, dpi_);
  }
  draw_font_ = font_ ? font_ : parentFont;
  SetWindowPos(hwnd_, nullptr, Scale(layout_left_), Scale(layout_top_), Scale(layout_width_), Scale(layout_height_),
               SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(draw_font_), FALSE);
  if (kind_ == ControlKind::kLabel) AutoSizeLabel();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void PageControlView::CreateGraphic(const PageControlArgs& args, int x, int y, int w, int h, bool markGraphic) {
  RegisterGraphicClass();
  hwnd_ = CreateWindowExW(0, kGraphicClass, L"", WS_CHILD | WS_CLIPSIBLINGS, x, y, w, h, panel_,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(args.Id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageControlView::GraphicProc));
  if (markGraphic) SetPropW(hwnd_, kGraphicProp, reinterpret_cast<HANDLE>(1));
}

LRESULT CALLBACK PageControlView::GraphicProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<PageControlView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) {
    switch (msg) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        PaintGraphic(hwnd, [self](HDC dc, int w, int h) { self->PaintOwn(dc, w, h); });
        return 0;
      case WM_PRINTCLIENT: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        self->PaintOwn(reinterpret_cast<HDC>(wp), rc.right, rc.bottom);
        return 0;
      }
      case WM_NCHITTEST:
        // Clicks go to what lies below, as for a window-less control.
        if (self->kind_ != ControlKind::kPanel) return HTTRANSPARENT;
        break;
      case WM_GETOBJECT:
        if (LRESULT object = AnswerGetObject(hwnd, wp, lp)) return object;
        break;
      case kMsgAccessibleFacts:
        *reinterpret_cast<AccessibleFacts*>(lp) = self->Facts();
        return 1;
      case WM_NCDESTROY:
        RemovePropW(hwnd, kGraphicProp);
        break;
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Labels and panels read as the text they show; pictures and bevels are
// decoration without a name.
AccessibleFacts PageControlView::Facts() const {
  AccessibleFacts facts;
  switch (kind_) {
    case ControlKind::kLabel:
    case ControlKind::kPanel:
      facts.Role = ROLE_SYSTEM_STATICTEXT;
      facts.Name = text_;
      facts.State = STATE_SYSTEM_READONLY;
      break;
    case ControlKind::kImage:
      facts.Role = ROLE_SYSTEM_GRAPHIC;
      facts.State = STATE_SYSTEM_READONLY;
      break;
    default:
      facts.Role = ROLE_SYSTEM_SEPARATOR;
      break;
  }
  return facts;
}

void PageControlView::PaintOwn(HDC dc, int w, int h) {
  RECT all = {0, 0, w, h};
  switch (kind_) {
    case ControlKind::kLabel: {
      if (!transparent_) {
        HBRUSH brush = CreateSolidBrush(palette_->Panel);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
      }
      HGDIOBJ old = SelectObject(dc, draw_font_);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, TextColour());
      UINT flags = DT_LEFT | DT_TOP | DT_EXPANDTABS | (word_wrap_ ? DT_WORDBREAK : 0);
      DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &all, flags);
      SelectObject(dc, old);
      break;
    }
    case ControlKind::kBevel:
      DrawEdge(dc, &all, BDR_SUNKENOUTER, BF_RECT);
      break;
    case ControlKind::kPanel: {
      FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &all, BDR_RAISEDINNER, BF_RECT);
      HGDIOBJ old = SelectObject(dc, draw_font_);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, palette_->Look == SystemLook::kLight && !text_colour_ ? GetSysColor(COLOR_BTNTEXT)
                                                                              : TextColour());
      DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SelectObject(dc, old);
      break;
    }
    case ControlKind::kImage: {
      // In high contrast no picture lies behind a text.
      if (picture_.Empty() || !palette_->Pictures) break;
      // Pictures are sized in 96-dpi pixels, like the layout.
      int pw = Scale(picture_.Width()), ph = Scale(picture_.Height());
      if (stretch_) picture_.Draw(dc, 0, 0, w, h);
      else if (center_) picture_.Draw(dc, (w - pw) / 2, (h - ph) / 2, pw, ph);
      else picture_.Draw(dc, 0, 0, pw, ph);
      break;
    }
    default:
      break;
  }
}

void PageControlView::LoadRichText(const std::vector<uint8_t>& rtf) {
  // From memory: no file in the temporary folder, where another program
  // could have planted a link at its name.
  RichTextSource source{rtf};
  EDITSTREAM es = {};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  es.pfnCallback = ReadMemoryCallback;
  SendMessageW(hwnd_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
}

void PageControlView::AutoSizeLabel() {
  if (!auto_size_ || !hwnd_) return;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, draw_font_);
  RECT rc = {0, 0, Scale(layout_width_), 0};
  std::wstring measure = text_.empty() ? L" " : text_;
  DrawTextW(dc, measure.c_str(), static_cast<int>(measure.size()), &rc,
            DT_CALCRECT | DT_EXPANDTABS | (word_wrap_ ? DT_WORDBREAK : 0));
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  int w = word_wrap_ ? Scale(layout_width_) : rc.right;
  SetWindowPos(hwnd_, nullptr, 0, 0, w, rc.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PageControlView::Sync(const LayoutControl& c) {
  if (!hwnd_) return;
  bool first = !synced_;
  synced_ = true;
  bool hasText = kind_ == ControlKind::kLabel || kind_ == ControlKind::kEdit || kind_ == ControlKind::kPanel ||
                 kind_ == ControlKind::kButton || kind_ == ControlKind::kRadioButton;
  if (hasText && (first || c.Text != shown_text_)) {
    shown_text_ = c.Text;
    text_ = WindowsLineBreaks(c.Text);
    SetWindowTextW(hwnd_, text_.c_str());
    if (kind_ == ControlKind::kLabel) AutoSizeLabel();
    // Painted at once: the uninstall changes the status while the main
    // thread is busy.
    if (kind_ == ControlKind::kLabel || kind_ == ControlKind::kPanel) {
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      if (!first) NotifyNameChanged(hwnd_);
    }
  }
  if (kind_ == ControlKind::kRadioButton && (first || c.Checked != checked_)) {
    checked_ = c.Checked;
    SendMessageW(hwnd_, BM_SETCHECK, c.Checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  if (gauge_) {
    gauge_->SetMax(c.Max > gauge_->Min() ? c.Max : gauge_->Max());
    gauge_->SetProgress(c.Position);
  }
  if (first || c.Enabled != enabled_) {
    enabled_ = c.Enabled;
    EnableWindow(hwnd_, c.Enabled);
  }
  if (first || c.Visible != visible_) {
    visible_ = c.Visible;
    ShowWindow(hwnd_, c.Visible ? SW_SHOWNA : SW_HIDE);
  }
}

}  // namespace ferry
