// The system's colour settings the wizard follows, and the colours it
// paints with under each: the script's own colours in the light look, its
// dark ones (or ours) in the system's dark mode, and in high contrast only
// the system's colours, with no pictures behind the texts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace ferry {

class PageList;

enum class SystemLook { kLight, kDark, kHighContrast };

// High contrast wins over dark mode.
SystemLook CurrentSystemLook();

struct Palette {
  SystemLook Look = SystemLook::kLight;
  COLORREF Panel = RGB(255, 255, 255);  // the page area
  COLORREF Face = 0;                    // the form around it
  COLORREF Text = 0;                    // texts without a colour of their own
  COLORREF FieldBack = 0, FieldText = 0;  // edits, the folder tree, the change log
  bool Pictures = true;                 // false: no pictures at all

  // The colour of a text whose layout gave `own` (and `ownDark` for the
  // dark mode); the system's text colour in high contrast.
  COLORREF TextColour(std::optional<uint32_t> own, std::optional<uint32_t> ownDark) const;
};

// The script's colours (the page list) under a look.
Palette MakePalette(SystemLook look, const PageList& pages);

}  // namespace ferry
