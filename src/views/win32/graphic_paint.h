// Graphic controls (labels, pictures, bevels, the gauge) are child windows
// that draw as if they had none: each paints what lies below it on the page
// panel first (the panel's colour and the graphic controls behind it), then
// itself, into one off-screen bitmap. Windowed controls simply cover them.
#pragma once

#include <windows.h>

#include <functional>

namespace ferry {

// Sent to the page panel: wParam the HDC (child client coordinates),
// lParam the child. The panel paints its colour and every visible graphic
// control below the child that overlaps it.
inline constexpr UINT kMsgPaintBelow = WM_APP + 0x40;
// Window property marking a graphic control; such windows answer
// WM_PRINTCLIENT with their own content only.
inline constexpr const wchar_t* kGraphicProp = L"FerryGraphic";

// WM_PAINT of a graphic control: below, then `own` (dc, width, height).
void PaintGraphic(HWND hwnd, const std::function<void(HDC, int, int)>& own);
// The panel's side of kMsgPaintBelow.
void PaintBelowChild(HWND panel, COLORREF colour, HWND child, HDC dc);

}  // namespace ferry
