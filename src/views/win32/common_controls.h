// The few comctl32 calls of the wizard, made through entries looked up at
// run time: imported, comctl32 would be loaded with the program, before
// WinMain restricts the DLL search, and would load uxtheme.dll from the
// program's folder. The manifest's side-by-side dependency still picks
// version 6 when the DLL is loaded later.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace ferry {

void InitCommonControlClasses(DWORD classes);
// An image list with one image of bmp, `mask` as its transparent colour.
HIMAGELIST CreateMaskedImageList(HBITMAP bmp, int w, int h, COLORREF mask);
void DestroyImageList(HIMAGELIST list);

}  // namespace ferry
