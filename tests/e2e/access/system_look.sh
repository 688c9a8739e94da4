#!/usr/bin/env bash
# system_look.sh DPI light|dark|contrast: the display settings of the Wine
# prefix in WINEPREFIX, read when its server next starts: the DPI, and the
# system's dark mode for programs or a high-contrast scheme (white on black,
# as the system's own high-contrast black).
set -euo pipefail
dpi=$1 look=$2
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
reg 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$dpi"
case "$look" in
  light) ;;
  dark)
    reg 'HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize' /v AppsUseLightTheme /t REG_DWORD /d 0 ;;
  contrast)
    reg 'HKCU\Control Panel\Accessibility\HighContrast' /v Flags /t REG_SZ /d 127
    while read -r name rgb; do
      reg 'HKCU\Control Panel\Colors' /v "$name" /t REG_SZ /d "$rgb"
    done <<'COLOURS'
Window 0 0 0
WindowText 255 255 255
ButtonFace 0 0 0
ButtonText 255 255 255
ButtonShadow 128 128 128
ButtonHilight 255 255 255
Hilight 26 235 255
HilightText 0 0 0
GrayText 63 242 63
Background 0 0 0
WindowFrame 255 255 255
COLOURS
    ;;
  *) echo "system_look.sh: light, dark or contrast, not $look" >&2; exit 2 ;;
esac
