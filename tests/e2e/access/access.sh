#!/usr/bin/env bash
# access.sh STUB FERRYC_EXE DRIVER_EXE SOURCE_DIR WORK_DIR [SHOTS_OUT]
#
# The demo setup read as a screen reader and used with the keyboard, under
# Xvfb and Wine: access_driver.exe walks its install pages and checks every
# control's accessible name, role and value against what the page shows.
# The demo gets one message box in the middle of its work, which holds the
# progress page while it is read.
# GUI_DPI sets the display's DPI (96 by default); GUI_THEME=dark turns the
# system's dark mode for programs on, GUI_THEME=contrast a high-contrast
# scheme. With SHOTS_OUT the driver's screenshots are copied there as PNG.
set -euo pipefail
stub=$1 ferryc_exe=$2 driver=$3 src=$4 work=$5 shots_out=${6:-}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/shots"
"$src/tests/e2e/access/system_look.sh" "${GUI_DPI:-96}" "${GUI_THEME:-light}"
wineserver -k >/dev/null 2>&1 || true
keep_server

cp -r "$src/examples/demo" "$work/demo"
awk '{ print } /^file Extras\\ extras/ { print "messagebox \"The atlas files are in place.\" \"Tidewater Atlas\" 0 0" }' \
  "$src/examples/demo/demo.fss" > "$work/demo/demo.fss"
grep -q 'The atlas files are in place' "$work/demo/demo.fss" || fail "could not add the pause to the demo script"
cd "$work/demo"
use_ferryc "$ferryc_exe"
ferryc compile demo.fss --stub "$(tool_path "$stub")" -o tidewater_patch.exe -q >/dev/null
test -f tidewater_patch.exe
"$src/examples/demo/product-1.1/install" "$drive_c/Tidewater Atlas" "$ferryc_exe"

set +e
timeout 240 wine "$driver" "$(win_path "$work/demo/tidewater_patch.exe")" "$(win_path "$work/shots")"
rc=$?
set -e
if [ -n "$shots_out" ]; then
  mkdir -p "$shots_out"
  for bmp in "$work"/shots/*.bmp; do convert "$bmp" "$shots_out/$(basename "${bmp%.bmp}").png"; done
fi
[ $rc -eq 0 ] || fail "the wizard read by a screen reader had $rc failed checks"
echo "== every page of the wizard reads as it shows"
