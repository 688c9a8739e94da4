#include "views/win32/verify_form.h"

#include <commctrl.h>

#include "platform/win_text.h"
#include "views/win32/common_controls.h"

namespace ferry {

namespace {

constexpr int kClientWidth = 321;
constexpr int kClientHeight = 70;

LRESULT CALLBACK VerifyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Nobody closes this window but start-up.
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterClassOnce(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  if (GetClassInfoExW(instance, VerifyForm::kClassName, &wc)) return true;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = VerifyProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = VerifyForm::kClassName;
  return RegisterClassExW(&wc) != 0;
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h,
           HFONT font) {
  HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  if (c && font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return c;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

VerifyForm::VerifyForm() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  InitCommonControlClasses(ICC_PROGRESS_CLASS);
  if (!RegisterClassOnce(instance)) return;

  DWORD style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
  DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME;
  RECT r = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  hwnd_ = CreateWindowExW(exStyle, kClassName, L"Verifying Contents", style, x, y, w, h, nullptr, nullptr,
                          instance, nullptr);
  if (!hwnd_) return;

  HDC dc = GetDC(hwnd_);
  int height = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(hwnd_, dc);
  font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg 2");

  Child(hwnd_, L"STATIC", L"Verifying contents please wait...", SS_LEFT, 8, 8, 305, 14, font_);
  // Wider than the design's 150 so that large counts stay readable.
  status_ = Child(hwnd_, L"STATIC", L"Status: 0 out of 0 files verifyed", SS_LEFT, 8, 32, 305, 14, font_);
  progress_ = Child(hwnd_, PROGRESS_CLASSW, L"", PBS_SMOOTH, 8, 48, 305, 16, nullptr);
  SendMessageW(progress_, PBM_SETRANGE32, 0, 100);

  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  PumpMessages();
}

VerifyForm::~VerifyForm() { Close(); }

void VerifyForm::Close() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = status_ = progress_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
  PumpMessages();
}

void VerifyForm::SetStatus(const std::string& text) {
  status_text_ = text;
  shown_ = false;
}

void VerifyForm::SetProgress(uint32_t position, uint32_t maximum) {
  position_ = position;
  maximum_ = maximum;
  shown_ = false;
}

// A setup of many small files checks thousands of entries a second: the
// window is painted at a steady pace, and always at the start and the end.
void VerifyForm::Refresh() {
  if (!hwnd_ || shown_) return;
  const DWORD now = GetTickCount();
  const bool edge = position_ == 0 || position_ == maximum_;
  if (!edge && now - last_paint_ < kPaintIntervalMs) return;
  Show();
  last_paint_ = now;
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpMessages();
}

void VerifyForm::Show() {
  shown_ = true;
  if (status_) SetWindowTextW(status_, AnsiToWide(status_text_).c_str());
  if (!progress_) return;
  SendMessageW(progress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum_));
  SendMessageW(progress_, PBM_SETPOS, position_, 0);
}

void VerifyForm::HoldAndClose(uint32_t milliseconds) {
  if (!hwnd_) return;
  if (!shown_) Show();
  DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    PumpMessages();
    Sleep(10);
  }
  Close();
}

}  // namespace ferry
