#include "views/win32/main_form.h"

#include <commctrl.h>

#include "base/setup_error.h"
#include "platform/win_text.h"
#include "views/win32/common_controls.h"
#include "views/win32/graphic_paint.h"

namespace ferry {

namespace {

bool RegisterClasses() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  if (!GetClassInfoExW(instance, MainForm::kClassName, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = MainForm::kClassName;
    if (!RegisterClassExW(&wc)) return false;
  }
  wc = {};
  if (!GetClassInfoExW(instance, MainForm::kPanelClassName, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = MainForm::kPanelClassName;
    if (!RegisterClassExW(&wc)) return false;
  }
  return true;
}

// The language button's glyph: a black triangle pointing down, 9 x 6, on
// magenta that counts as transparent.
HIMAGELIST MakeDropGlyph(int dpi) {
  int w = MulDiv(9, dpi, 96), h = MulDiv(6, dpi, 96);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all = {0, 0, w, h};
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(dc, &all, magenta);
  DeleteObject(magenta);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  POINT tri[3] = {{0, 1}, {w - 1, 1}, {(w - 1) / 2, h - 1}};
  Polygon(dc, tri, 3);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  SelectObject(dc, old);
  DeleteDC(dc);
  HIMAGELIST list = CreateMaskedImageList(bmp, w, h, RGB(255, 0, 255));
  DeleteObject(bmp);
  return list;
}

}  // namespace

int MonitorDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

MainForm::MainForm(const FrmMainArgs& args) : model_(*args.Model), show_debug_(args.ShowDebug) {
  InitCommonControlClasses(ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS);
  if (!RegisterClasses()) throw SetupError("The wizard window cannot be registered.");
  dpi_ = MonitorDpi();
  HINSTANCE instance = GetModuleHandleW(nullptr);

  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r = {0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  hwnd_ = CreateWindowExW(0, kClassName, L"", style, x, y, w, h, nullptr, nullptr, instance, nullptr);
  if (!hwnd_) throw SetupError("The wizard window cannot be created.");
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainForm::FormProc));

  font_ = CreateFontW(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                      L"MS Shell Dlg 2");
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  panel_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                           Scale(kClientWidth), Scale(375), hwnd_, nullptr, instance, nullptr);
  if (!panel_) throw SetupError("The wizard window cannot be created.");
  SetWindowLongPtrW(panel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(panel_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainForm::PanelProc));
  SendMessageW(panel_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  bevel_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, Scale(375),
                           Scale(kClientWidth), Scale(3), hwnd_, nullptr, instance, nullptr);

  auto button = [&](UINT id, const wchar_t* text, int bx, int bw, bool visible) {
    HWND b = CreateWindowExW(0, L"BUTTON", text,
                             WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON | (visible ? WS_VISIBLE : 0), Scale(bx), Scale(384),
                             Scale(bw), Scale(25), hwnd_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance,
                             nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return b;
  };
  // Creation order is the tab order: Back, Next, Cancel, language.
  back_ = button(kIdBack, L"< Back", 344, 73, true);
  next_ = button(kIdNext, L"Next >", 416, 73, true);
  cancel_ = button(kIdCancel, L"Cancel", 496, 75, true);
  language_ = button(kIdLanguage, L"English", 8, 89, true);
  debug_ = button(kIdDebug, L"Debug", 112, 75, args.DebugButtonVisible);
  glyph_ = MakeDropGlyph(dpi_);
  if (glyph_) {
    BUTTON_IMAGELIST bil = {glyph_, {Scale(2), 0, Scale(4), 0}, BUTTON_IMAGELIST_ALIGN_RIGHT};
    SendMessageW(language_, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil));
  }
}

MainForm::~MainForm() {
  views_.clear();
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    SetWindowLongPtrW(panel_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  DestroyImageList(glyph_);
  if (font_) DeleteObject(font_);
  if (panel_brush_) DeleteObject(panel_brush_);
}

void MainForm::BuildPageControls() {
  panel_colour_ = static_cast<COLORREF>(model_.PanelColour() & 0xFFFFFF);
  if (panel_brush_) DeleteObject(panel_brush_);
  panel_brush_ = CreateSolidBrush(panel_colour_);
  const PageList& pages = model_.PageSet();
  UINT id = kIdFirstPageControl;
  // Backmost first: each new child window lies above the ones before it.
  for (const ControlRef& ref : pages.ZOrder()) {
    const LayoutControl* c = pages.Control(ref);
    if (!c) continue;
    PageControlArgs args{panel_, c, font_, dpi_, id++, panel_colour_};
    auto view = std::make_unique<PageControlView>(args);
    if (view->Handle()) SetWindowPos(view->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    views_.push_back(std::move(view));
    refs_.push_back(ref);
  }
  built_ = true;
  syncing_ = true;
  if (!model_.TreeTarget().empty()) NavigateTree(model_.TreeTarget(), false);
  syncing_ = false;
}

void MainForm::Show() {
  if (!built_) BuildPageControls();
  StateChanged();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
}

void MainForm::RunMessageLoop() {
  MSG msg;
  while (!closed_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void MainForm::SyncButton(HWND button, const WizardButton& state, std::u16string& shown) {
  if (state.Caption != shown) {
    shown = state.Caption;
    SetWindowTextW(button, U16ToWide(state.Caption).c_str());
  }
  if (static_cast<bool>(IsWindowEnabled(button)) != state.Enabled) EnableWindow(button, state.Enabled);
  bool visible = (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE) != 0;
  if (visible != state.Visible) ShowWindow(button, state.Visible ? SW_SHOWNA : SW_HIDE);
}

void MainForm::StateChanged() {
  if (!hwnd_ || closed_) return;
  bool wasSyncing = syncing_;
  syncing_ = true;
  std::wstring caption = U16ToWide(model_.Caption());
  wchar_t current[512] = {};
  GetWindowTextW(hwnd_, current, 511);
  if (caption != current) SetWindowTextW(hwnd_, caption.c_str());
  const WizardButtons& b = model_.Buttons();
  SyncButton(back_, b.Back, back_text_);
  SyncButton(next_, b.Next, next_text_);
  SyncButton(cancel_, b.Cancel, cancel_text_);
  SyncButton(language_, b.Language, language_text_);
  if (built_) {
    const PageList& pages = model_.PageSet();
    for (size_t i = 0; i < views_.size(); ++i)
      if (const LayoutControl* c = pages.Control(refs_[i])) views_[i]->Sync(*c);
    // A new page is painted whole before its work starts: the uninstall
    // keeps the main thread busy, and the page it left would show through.
    if (model_.CurrentPage() != shown_page_) {
      shown_page_ = model_.CurrentPage();
      if (IsWindowVisible(hwnd_)) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
  }
  syncing_ = wasSyncing;
}

void MainForm::NavigateTree(const std::string& dir, bool expand) {
  if (!built_) return;  // applied from TreeTarget() once the views exist
  bool wasSyncing = syncing_;
  syncing_ = true;
  for (auto& view : views_)
    if (view->Tree()) view->Tree()->Select(dir, expand);
  syncing_ = wasSyncing;
}

void MainForm::Closed() {
  closed_ = true;
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  PostQuitMessage(0);
}

PageControlView* MainForm::ViewOf(HWND hwnd) {
  for (auto& view : views_)
    if (view->Handle() == hwnd) return view.get();
  return nullptr;
}

void MainForm::ShowLanguageMenu() {
  HMENU menu = CreatePopupMenu();
  std::vector<LanguageMenuItem> items = model_.LanguageMenu();
  for (size_t i = 0; i < items.size(); ++i)
    AppendMenuW(menu, MF_STRING | (items[i].Checked ? MF_CHECKED : 0), kIdFirstLanguage + i,
                U16ToWide(items[i].Caption).c_str());
  RECT r;
  GetWindowRect(language_, &r);
  UINT picked = TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, r.left, r.bottom, 0, hwnd_, nullptr);
  DestroyMenu(menu);
  if (picked >= kIdFirstLanguage && picked < kIdFirstLanguage + items.size())
    model_.SelectLanguage(static_cast<int>(picked - kIdFirstLanguage));
}

void MainForm::OnCommand(UINT id, UINT code, HWND control) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kIdBack: model_.Back(); break;
    case kIdNext: model_.Next(); break;
    case kIdCancel: model_.Cancel(); break;
    case kIdLanguage: ShowLanguageMenu(); break;
    case kIdDebug:
      if (show_debug_) show_debug_(hwnd_);
      break;
    default:
      if (id >= kIdFirstLanguage) model_.SelectLanguage(static_cast<int>(id - kIdFirstLanguage));
      break;
  }
  (void)control;
}

LRESULT CALLBACK MainForm::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) return self->HandleForm(msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainForm::HandleForm(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
      return 0;
    case WM_CLOSE:
      if (!closed_) model_.RequestClose();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK MainForm::PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) return self->HandlePanel(hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT MainForm::HandlePanel(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH brush = CreateSolidBrush(panel_colour_);
      FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
      DeleteObject(brush);
      return 1;
    }
    case kMsgPaintBelow:
      PaintBelowChild(hwnd, panel_colour_, reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_COMMAND: {
      auto* edit = reinterpret_cast<HWND>(lp);
      if (HIWORD(wp) == EN_CHANGE && !syncing_) {
        const LayoutControl* named = model_.InstallDirEdit();
        PageControlView* view = ViewOf(edit);
        if (named && view && view->Kind() == ControlKind::kEdit) {
          // Only the install-directory edit reports typing to the model.
          const PageList& pages = model_.PageSet();
          for (size_t i = 0; i < views_.size(); ++i)
            if (views_[i].get() == view && pages.Control(refs_[i]) == named) {
              int n = GetWindowTextLengthW(edit);
              std::wstring text(static_cast<size_t>(n) + 1, L'\0');
              GetWindowTextW(edit, text.data(), n + 1);
              text.resize(static_cast<size_t>(n));
              model_.InstallDirEditChanged(WideToU16(text));
            }
        }
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lp);
      for (auto& view : views_)
        if (view->Tree() && view->Tree()->HandleNotify(header) && !syncing_) {
          std::u16string path = view->Tree()->SelectedPath();
          if (!path.empty()) model_.TreeSelectionChanged(path);
        }
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      PageControlView* view = ViewOf(reinterpret_cast<HWND>(lp));
      HDC dc = reinterpret_cast<HDC>(wp);
      if (view && view->TextColour()) SetTextColor(dc, *view->TextColour());
      else SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(panel_brush_ ? panel_brush_ : GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace ferry
