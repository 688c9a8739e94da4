#include "views/win32/main_form.h"

#include <commctrl.h>

#include "base/setup_error.h"
#include "platform/win_text.h"
#include "platform/system_library.h"
#include "views/win32/common_controls.h"
#include "views/win32/graphic_paint.h"
#include "wizard/keyboard_order.h"

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

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The window's size for a client area at `dpi`: the frame is scaled too.
void AdjustFrameForDpi(RECT& r, int dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static auto adjust = reinterpret_cast<AdjustForDpiFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  if (!adjust || !adjust(&r, kFormStyle, FALSE, 0, static_cast<UINT>(dpi))) AdjustWindowRectEx(&r, kFormStyle, FALSE, 0);
}

// The folder tree in the dark mode: its selection in a dark blue, whose
// light text stays readable whether or not the tree has the focus.
LRESULT DrawDarkTreeItem(NMTVCUSTOMDRAW* draw) {
  wchar_t cls[32] = {};
  GetClassNameW(draw->nmcd.hdr.hwndFrom, cls, 31);
  if (lstrcmpW(cls, WC_TREEVIEWW) != 0) return CDRF_DODEFAULT;
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (draw->nmcd.uItemState & CDIS_SELECTED)) {
    draw->clrText = RGB(255, 255, 255);
    draw->clrTextBk = RGB(0, 84, 153);
  }
  return CDRF_DODEFAULT;
}

}  // namespace

int MonitorDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// Looked up: Windows before 10 has no per-window DPI.
int WindowDpi(HWND hwnd) {
  using DpiForWindowFn = UINT(WINAPI*)(HWND);
  static auto dpiFor = reinterpret_cast<DpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = dpiFor ? dpiFor(hwnd) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : MonitorDpi();
}

MainForm::MainForm(const FrmMainArgs& args) : model_(*args.Model), show_debug_(args.ShowDebug) {
  InitCommonControlClasses(ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS);
  if (!RegisterClasses()) throw SetupError("The wizard window cannot be registered.");
  dpi_ = MonitorDpi();
  HINSTANCE instance = GetModuleHandleW(nullptr);

  hwnd_ = CreateWindowExW(0, kClassName, L"", kFormStyle, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!hwnd_) throw SetupError("The wizard window cannot be created.");
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainForm::FormProc));

  panel_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                           0, 0, hwnd_, nullptr, instance, nullptr);
  if (!panel_) throw SetupError("The wizard window cannot be created.");
  SetWindowLongPtrW(panel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(panel_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainForm::PanelProc));
  bevel_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ETCHEDHORZ, 0, 0, 0, 0, hwnd_, nullptr,
                           instance, nullptr);

  auto button = [&](UINT id, const wchar_t* text, bool visible) {
    DWORD kind = id == kIdNext ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    return CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_TABSTOP | kind | (visible ? WS_VISIBLE : 0), 0, 0, 0, 0,
                           hwnd_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
  };
  back_ = button(kIdBack, L"< Back", true);
  next_ = button(kIdNext, L"Next >", true);
  cancel_ = button(kIdCancel, L"Cancel", true);
  language_ = button(kIdLanguage, L"English", true);
  debug_ = button(kIdDebug, L"Debug", args.DebugButtonVisible);
  // Laid out for the monitor the window opens on, centred there.
  dpi_ = WindowDpi(hwnd_);
  LayOut();
  RECT r;
  GetWindowRect(hwnd_, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainForm::LayOut() {
  HFONT old = font_;
  font_ = CreateFontW(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                      L"MS Shell Dlg 2");
  RECT frame = {0, 0, Scale(kClientWidth), Scale(kClientHeight)};
  AdjustFrameForDpi(frame, dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const UINT place = SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(panel_, nullptr, 0, 0, Scale(kClientWidth), Scale(375), place);
  SetWindowPos(bevel_, nullptr, 0, Scale(375), Scale(kClientWidth), Scale(3), place);
  for (HWND w : {hwnd_, panel_}) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  struct ButtonPlace {
    HWND Button;
    int Left, Width;
  };
  for (const ButtonPlace& b : {ButtonPlace{back_, 344, 73}, ButtonPlace{next_, 416, 73},
                               ButtonPlace{cancel_, 496, 75}, ButtonPlace{language_, 8, 89},
                               ButtonPlace{debug_, 112, 75}}) {
    SetWindowPos(b.Button, nullptr, Scale(b.Left), Scale(384), Scale(b.Width), Scale(25), place);
    SendMessageW(b.Button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  DestroyImageList(glyph_);
  glyph_ = MakeDropGlyph(dpi_);
  if (glyph_) {
    BUTTON_IMAGELIST bil = {glyph_, {Scale(2), 0, Scale(4), 0}, BUTTON_IMAGELIST_ALIGN_RIGHT};
    SendMessageW(language_, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&bil));
  }
  for (auto& view : views_) view->Rescale(dpi_, font_);
  if (old) DeleteObject(old);
}

void MainForm::ApplyLook() {
  palette_ = MakePalette(CurrentSystemLook(), model_.PageSet());
  for (HBRUSH* brush : {&panel_brush_, &face_brush_, &field_brush_})
    if (*brush) DeleteObject(*brush);
  panel_brush_ = CreateSolidBrush(palette_.Panel);
  face_brush_ = CreateSolidBrush(palette_.Face);
  field_brush_ = CreateSolidBrush(palette_.FieldBack);
  for (auto& view : views_) view->ApplyPalette();
  // The title bar follows the dark mode on Windows 10 20H1 and later.
  using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, const void*, DWORD);
  static auto setAttribute = SystemFunction<SetAttributeFn>(L"dwmapi.dll", "DwmSetWindowAttribute");
  const BOOL dark = palette_.Look == SystemLook::kDark;
  constexpr DWORD kUseImmersiveDarkMode = 20;
  if (setAttribute) setAttribute(hwnd_, kUseImmersiveDarkMode, &dark, sizeof(dark));
}

void MainForm::ApplyDpi(int dpi, const RECT* suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  LayOut();
  if (suggested)
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
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
  for (HBRUSH brush : {panel_brush_, face_brush_, field_brush_})
    if (brush) DeleteObject(brush);
}

void MainForm::BuildPageControls() {
  ApplyLook();
  const PageList& pages = model_.PageSet();
  UINT id = kIdFirstPageControl;
  // Backmost first: each new child window lies above the ones before it.
  for (const ControlRef& ref : pages.ZOrder()) {
    const LayoutControl* c = pages.Control(ref);
    if (!c) continue;
    PageControlArgs args{panel_, c, font_, dpi_, id++, &palette_};
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
  // Focus rectangles and access keys always shown, not only after Alt.
  SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  KeepFocusVisible();
  UpdateWindow(hwnd_);
}

void MainForm::RunMessageLoop() {
  MSG msg;
  while (!closed_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (HandleKey(msg)) continue;
    if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void MainForm::SyncButton(HWND button, const WizardButton& state, const std::u16string& caption,
                          std::u16string& shown) {
  if (caption != shown) {
    shown = caption;
    SetWindowTextW(button, U16ToWide(caption).c_str());
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
  const std::vector<std::u16string> keyed =
      WithAccessKeys({b.Back.Caption, b.Next.Caption, b.Cancel.Caption, b.Language.Caption});
  SyncButton(back_, b.Back, keyed[0], back_text_);
  SyncButton(next_, b.Next, keyed[1], next_text_);
  SyncButton(cancel_, b.Cancel, keyed[2], cancel_text_);
  SyncButton(language_, b.Language, keyed[3], language_text_);
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
  if (IsWindowVisible(hwnd_)) KeepFocusVisible();
  syncing_ = wasSyncing;
}

bool MainForm::HandleKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || !hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  const auto code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
  switch (msg.wParam) {
    case VK_ESCAPE:
      // Not the dialog manager's IDCANCEL, which is the Back button's id.
      if (IsWindowVisible(cancel_) && IsWindowEnabled(cancel_)) model_.Cancel();
      return true;
    case VK_RETURN: {
      if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
      bool onButton = (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
      HWND target = onButton ? msg.hwnd : DefaultButton();
      if (target && IsWindowEnabled(target)) SendMessageW(target, BM_CLICK, 0, 0);
      return true;
    }
    case VK_TAB:
      if ((code & DLGC_WANTTAB) || GetKeyState(VK_CONTROL) < 0) return false;
      MoveFocus(GetKeyState(VK_SHIFT) >= 0);
      return true;
    default:
      return false;
  }
}

// The form's own buttons and the shown page's controls that take focus,
// in reading order: Tab follows the layout, not the windows' stacking.
std::vector<HWND> MainForm::TabStops() const {
  std::vector<HWND> windows;
  std::vector<ControlPlace> places;
  auto add = [&](HWND w) {
    if (!w || !IsWindowVisible(w) || !IsWindowEnabled(w) || !(GetWindowLongW(w, GWL_STYLE) & WS_TABSTOP)) return;
    RECT r;
    GetWindowRect(w, &r);
    windows.push_back(w);
    places.push_back({r.left, r.top});
  };
  for (const auto& view : views_) add(view->Handle());
  for (HWND b : {back_, next_, cancel_, language_, debug_}) add(b);
  std::vector<HWND> ordered;
  for (size_t i : ReadingOrder(places)) ordered.push_back(windows[i]);
  return ordered;
}

void MainForm::MoveFocus(bool forward) {
  std::vector<HWND> stops = TabStops();
  if (stops.empty()) return;
  HWND focus = GetFocus();
  size_t at = stops.size();
  for (size_t i = 0; i < stops.size(); ++i)
    if (stops[i] == focus || IsChild(stops[i], focus)) at = i;
  size_t n = stops.size();
  size_t to = at == n ? 0 : (forward ? at + 1 : at + n - 1) % n;
  SetFocus(stops[to]);
  wchar_t cls[16] = {};
  GetClassNameW(stops[to], cls, 15);
  if (lstrcmpiW(cls, L"Edit") == 0) SendMessageW(stops[to], EM_SETSEL, 0, -1);
}

// Enter outside a button: Next, or on the last page the one button left.
HWND MainForm::DefaultButton() const {
  for (HWND b : {next_, cancel_})
    if (IsWindowVisible(b) && IsWindowEnabled(b)) return b;
  return nullptr;
}

void MainForm::KeepFocusVisible() {
  // A message box of the work just closed and left no window active (Wine
  // does, without a window manager): the wizard takes the empty place.
  if (!GetForegroundWindow()) SetForegroundWindow(hwnd_);
  HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus) && IsWindowVisible(focus) && IsWindowEnabled(focus)) return;
  HWND target = DefaultButton();
  if (!target) {
    std::vector<HWND> stops = TabStops();
    target = stops.empty() ? hwnd_ : stops.front();
  }
  if (target != focus) SetFocus(target);
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

const LayoutControl* MainForm::ControlOf(HWND hwnd) const {
  for (size_t i = 0; i < views_.size(); ++i)
    if (views_[i]->Handle() == hwnd) return model_.PageSet().Control(refs_[i]);
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
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) last_focus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      // Back from a message box or another program: focus where it was.
      if (last_focus_ && IsChild(hwnd_, last_focus_) && IsWindowVisible(last_focus_) && IsWindowEnabled(last_focus_))
        SetFocus(last_focus_);
      else
        KeepFocusVisible();
      return 0;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      FillRect(reinterpret_cast<HDC>(wp), &rc, face_brush_ ? face_brush_ : GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // The line above the buttons and the buttons' corners.
      SetBkColor(reinterpret_cast<HDC>(wp), palette_.Face);
      return reinterpret_cast<LRESULT>(face_brush_ ? face_brush_ : GetSysColorBrush(COLOR_BTNFACE));
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
      // Dark mode and high contrast switched while the wizard is open.
      ApplyLook();
      for (auto& view : views_)
        if (view->Tree()) SendMessageW(view->Handle(), WM_SYSCOLORCHANGE, 0, 0);
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      break;
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
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
      FillRect(reinterpret_cast<HDC>(wp), &rc, panel_brush_);
      return 1;
    }
    case kMsgPaintBelow:
      PaintBelowChild(hwnd, palette_.Panel, reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_COMMAND: {
      auto* edit = reinterpret_cast<HWND>(lp);
      if (HIWORD(wp) == BN_CLICKED && !syncing_) {
        // A Scope page's choice: the model checks it, and the view follows.
        const LayoutControl* picked = ControlOf(edit);
        if (picked && picked == model_.ScopeUserChoice()) model_.ScopeChosen(true);
        else if (picked && picked == model_.ScopeMachineChoice()) model_.ScopeChosen(false);
        return 0;
      }
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
      if (header->code == NM_CUSTOMDRAW && palette_.Look == SystemLook::kDark)
        return DrawDarkTreeItem(reinterpret_cast<NMTVCUSTOMDRAW*>(lp));
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
      SetTextColor(dc, view ? view->TextColour() : palette_.FieldText);
      SetBkColor(dc, palette_.FieldBack);
      return reinterpret_cast<LRESULT>(field_brush_);
    }
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(panel_brush_ ? panel_brush_ : GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace ferry
