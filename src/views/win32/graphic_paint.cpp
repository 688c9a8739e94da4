#include "views/win32/graphic_paint.h"

#include <vector>

namespace ferry {

void PaintGraphic(HWND hwnd, const std::function<void(HDC, int, int)>& own) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  int w = rc.right, h = rc.bottom;
  if (w > 0 && h > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageW(GetParent(hwnd), kMsgPaintBelow, reinterpret_cast<WPARAM>(mem), reinterpret_cast<LPARAM>(hwnd));
    own(mem, w, h);
    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  EndPaint(hwnd, &ps);
}

void PaintBelowChild(HWND panel, COLORREF colour, HWND child, HDC dc) {
  RECT childRect;
  GetWindowRect(child, &childRect);
  MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&childRect), 2);
  RECT local = {0, 0, childRect.right - childRect.left, childRect.bottom - childRect.top};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &local, brush);
  DeleteObject(brush);

  // GW_HWNDNEXT walks towards the back; paint back to front.
  std::vector<HWND> below;
  for (HWND w = GetWindow(child, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!IsWindowVisible(w) || !GetPropW(w, kGraphicProp)) continue;
    RECT r, overlap;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
    if (IntersectRect(&overlap, &r, &childRect)) below.push_back(w);
  }
  for (auto it = below.rbegin(); it != below.rend(); ++it) {
    RECT r;
    GetWindowRect(*it, &r);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&r), 2);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, 0, 0, local.right, local.bottom);
    POINT org;
    OffsetViewportOrgEx(dc, r.left - childRect.left, r.top - childRect.top, &org);
    SendMessageW(*it, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    RestoreDC(dc, saved);
  }
}

}  // namespace ferry
