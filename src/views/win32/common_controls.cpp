#include "views/win32/common_controls.h"

#include "platform/system_library.h"

namespace ferry {
namespace {

template <class F>
F Entry(const char* name) {
  return SystemFunction<F>(L"comctl32.dll", name);
}

}  // namespace

void InitCommonControlClasses(DWORD classes) {
  static auto init = Entry<decltype(&InitCommonControlsEx)>("InitCommonControlsEx");
  INITCOMMONCONTROLSEX icc = {sizeof(icc), classes};
  if (init) init(&icc);
}

HIMAGELIST CreateMaskedImageList(HBITMAP bmp, int w, int h, COLORREF mask) {
  static auto create = Entry<decltype(&ImageList_Create)>("ImageList_Create");
  static auto add = Entry<decltype(&ImageList_AddMasked)>("ImageList_AddMasked");
  HIMAGELIST list = create && add ? create(w, h, ILC_COLOR24 | ILC_MASK, 1, 0) : nullptr;
  if (list) add(list, bmp, mask);
  return list;
}

void DestroyImageList(HIMAGELIST list) {
  static auto destroy = Entry<decltype(&ImageList_Destroy)>("ImageList_Destroy");
  if (list && destroy) destroy(list);
}

}  // namespace ferry
