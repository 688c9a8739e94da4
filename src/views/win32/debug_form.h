// DebugForm: the developer's window behind the wizard's hidden Debug
// button, listing the archive's header and directory and the setup
// information in a rich edit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ferry {

class DebugForm {
 public:
  static constexpr const wchar_t* kClassName = L"FerryDebugForm";
  static constexpr int kWidth = 870;
  static constexpr int kHeight = 600;

  // Clears the listing, fills it with `lines` (8-bit, system code page) and
  // shows the window modally over `owner`.
  static void ShowModal(HWND owner, const std::vector<std::string>& lines);
};

}  // namespace ferry
