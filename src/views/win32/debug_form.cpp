#include "views/win32/debug_form.h"

#include <richedit.h>

#include "platform/system_library.h"
#include "platform/win_text.h"
#include "views/win32/main_form.h"

namespace ferry {

namespace {

struct DebugState {
  HWND Edit = nullptr;
  bool Done = false;
};

LRESULT CALLBACK DebugProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<DebugState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_SIZE:
      if (state && state->Edit) MoveWindow(state->Edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_CLOSE:
      if (state) state->Done = true;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void DebugForm::ShowModal(HWND owner, const std::vector<std::string>& lines) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  if (!GetClassInfoExW(instance, kClassName, &wc)) {
    wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DebugProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return;
  }
  LoadSystemLibrary(L"msftedit.dll");
  int dpi = MonitorDpi();
  int w = MulDiv(kWidth, dpi, 96), h = MulDiv(kHeight, dpi, 96);
  int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Debug", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, w, h, owner,
                              nullptr, instance, nullptr);
  if (!hwnd) return;
  DebugState state;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  RECT rc;
  GetClientRect(hwnd, &rc);
  state.Edit = CreateWindowExW(0, L"RICHEDIT50W", L"RichEdit1",
                               WS_CHILD | WS_VISIBLE | ES_MULTILINE | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL |
                                   ES_AUTOHSCROLL,
                               0, 0, rc.right, rc.bottom, hwnd, reinterpret_cast<HMENU>(1), instance, nullptr);
  HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           L"MS Shell Dlg 2");
  if (state.Edit) {
    SendMessageW(state.Edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    SetWindowTextW(state.Edit, AnsiToWide(text).c_str());
  }
  if (owner) EnableWindow(owner, FALSE);
  ShowWindow(hwnd, SW_SHOWNORMAL);
  MSG msg = {};
  while (!state.Done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (owner) {
    EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
  }
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
  DeleteObject(font);
  if (msg.message == WM_QUIT) PostQuitMessage(static_cast<int>(msg.wParam));
}

}  // namespace ferry
