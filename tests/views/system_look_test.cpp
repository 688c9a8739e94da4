#include "views/win32/system_look.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

// A text's colour under each look: its own and its own dark one where the
// system lets the script choose, the system's in high contrast.
TEST(PaletteText, OwnColoursGiveWayOnlyToHighContrast) {
  const std::optional<uint32_t> none, own = 0x112233u, dark = 0x445566u;
  struct Case {
    SystemLook Look;
    std::optional<uint32_t> Own, OwnDark;
    COLORREF Expected;
  } cases[] = {
      {SystemLook::kLight, none, none, RGB(1, 2, 3)},      {SystemLook::kLight, own, dark, 0x112233},
      {SystemLook::kDark, none, none, RGB(1, 2, 3)},       {SystemLook::kDark, own, none, 0x112233},
      {SystemLook::kDark, own, dark, 0x445566},            {SystemLook::kHighContrast, own, dark, RGB(1, 2, 3)},
  };
  for (const Case& c : cases) {
    Palette p;
    p.Look = c.Look;
    p.Text = RGB(1, 2, 3);
    EXPECT_EQ(p.TextColour(c.Own, c.OwnDark), c.Expected) << static_cast<int>(c.Look);
  }
}

}  // namespace
}  // namespace ferry
