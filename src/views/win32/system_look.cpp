#include "views/win32/system_look.h"

#include <cstring>
#include <cwchar>

#include "formats/layout/page_list.h"

namespace ferry {

namespace {

// The wizard's own colours for the dark mode, where the script has none.
constexpr COLORREF kDarkPanel = RGB(32, 32, 32);
constexpr COLORREF kDarkFace = RGB(43, 43, 43);
constexpr COLORREF kDarkText = RGB(240, 240, 240);
constexpr COLORREF kDarkField = RGB(25, 25, 25);

// A number the user's profile keeps as a DWORD or as decimal text.
bool UserNumber(const wchar_t* key, const wchar_t* name, DWORD& number) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
  wchar_t buffer[32] = {};
  DWORD type = 0, size = sizeof(buffer) - sizeof(wchar_t);
  LONG rc = RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return false;
  if (type == REG_DWORD && size == sizeof(DWORD)) std::memcpy(&number, buffer, sizeof(number));
  else if (type == REG_SZ) number = static_cast<DWORD>(std::wcstoul(buffer, nullptr, 10));
  else return false;
  return true;
}

bool HighContrastOn() {
  HIGHCONTRASTW hc = {};
  hc.cbSize = sizeof(hc);
  if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) && (hc.dwFlags & HCF_AVAILABLE))
    return (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
  // A system that does not report the setting at all (Wine answers with no
  // flags) keeps it only in the user's profile, where Windows saves it too.
  DWORD flags = 0;
  return UserNumber(L"Control Panel\\Accessibility\\HighContrast", L"Flags", flags) &&
         (flags & HCF_HIGHCONTRASTON) != 0;
}

bool DarkModeOn() {
  DWORD light = 1;
  return UserNumber(L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize", L"AppsUseLightTheme",
                   light) &&
         light == 0;
}

COLORREF Rgb(uint32_t colour) { return static_cast<COLORREF>(colour & 0xFFFFFF); }

}  // namespace

SystemLook CurrentSystemLook() {
  if (HighContrastOn()) return SystemLook::kHighContrast;
  return DarkModeOn() ? SystemLook::kDark : SystemLook::kLight;
}

COLORREF Palette::TextColour(std::optional<uint32_t> own, std::optional<uint32_t> ownDark) const {
  switch (Look) {
    case SystemLook::kHighContrast:
      return Text;
    case SystemLook::kDark:
      if (ownDark) return Rgb(*ownDark);
      return own ? Rgb(*own) : Text;
    case SystemLook::kLight:
      break;
  }
  return own ? Rgb(*own) : Text;
}

Palette MakePalette(SystemLook look, const PageList& pages) {
  Palette p;
  p.Look = look;
  p.Face = GetSysColor(COLOR_BTNFACE);
  p.Text = GetSysColor(COLOR_WINDOWTEXT);
  p.FieldBack = GetSysColor(COLOR_WINDOW);
  p.FieldText = GetSysColor(COLOR_WINDOWTEXT);
  switch (look) {
    case SystemLook::kLight:
      p.Panel = Rgb(pages.Colour());
      break;
    case SystemLook::kDark:
      p.Panel = pages.DarkColour() ? Rgb(*pages.DarkColour()) : kDarkPanel;
      p.Text = pages.DarkFontColour() ? Rgb(*pages.DarkFontColour()) : kDarkText;
      p.Face = kDarkFace;
      p.FieldBack = kDarkField;
      p.FieldText = kDarkText;
      break;
    case SystemLook::kHighContrast:
      p.Panel = GetSysColor(COLOR_WINDOW);
      p.Pictures = false;
      break;
  }
  return p;
}

}  // namespace ferry
