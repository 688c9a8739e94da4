#!/usr/bin/env bash
# gui.sh STUB FERRYC_EXE DRIVER_EXE SOURCE_DIR WORK_DIR [SHOTS_OUT]
#
# The demo setup driven through its wizard as a person would, under Xvfb
# and Wine: gui_driver.exe clicks through every page of the setup and of
# its uninstaller, checks what the controls show and takes a screenshot of
# each page. The demo gets one extra line, a message box in the middle of
# the work, so that the progress page can be looked at while it is shown.
# Afterwards the installed tree must equal a silent install's, and the
# uninstall must leave what a silent uninstall leaves.
# With SHOTS_OUT the screenshots are copied there as PNG files.
set -euo pipefail
stub=$1 ferryc_exe=$2 driver=$3 src=$4 work=$5 shots_out=${6:-}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

rm -rf "$work"
mkdir -p "$work/shots"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# ---- the prefix, with a CD-ROM drive E: ------------------------------------
wineboot -i >/dev/null 2>&1 || true
drive_c="$WINEPREFIX/drive_c"
test -d "$drive_c"
mkdir -p "$work/cdrom/Games"
ln -sfn "$work/cdrom" "$WINEPREFIX/dosdevices/e:"
wine reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true

# ---- the demo, with a pause in the middle of its work ----------------------
cp -r "$src/examples/demo" "$work/demo"
awk '{ print } /^file Extras\\ extras/ { print "messagebox \"The atlas files are in place.\" \"Tidewater Atlas\" 0 0" }' \
  "$src/examples/demo/demo.fss" > "$work/demo/demo.fss"
grep -q '^messagebox' "$work/demo/demo.fss" || fail "could not add the pause to the demo script"
cd "$work/demo"
case "$ferryc_exe" in
  *.exe) wine "$ferryc_exe" compile demo.fss --stub "$(winepath -w "$stub")" -o tidewater_patch.exe -q ;;
  *) "$ferryc_exe" compile demo.fss --stub "$stub" -o tidewater_patch.exe -q ;;  # a native build of ferryc
esac
test -f tidewater_patch.exe

shots_win=$(winepath -w "$work/shots")
target='C:\Tidewater Atlas'
target_unix="$drive_c/Tidewater Atlas"

# ---- interactive install ------------------------------------------------------
echo "== install through the wizard"
set +e
timeout 180 wine "$driver" install "$(winepath -w "$work/demo/tidewater_patch.exe")" "$shots_win" "$target" 'E:\Games'
rc=$?
set -e
[ $rc -eq 0 ] || fail "the wizard run of the setup had $rc failed checks"

for f in readme.txt atlas.cfg maps/coast.map maps/index.dat extras/wallpapers/tide.bmp legacy/coast-1998.map \
         Tidewater_install.log Tidewater_Uninstall.exe; do
  test -f "$target_unix/$f" || fail "missing after the install: $f"
done
wine reg query 'HKCU\Software\Tidewater Atlas' /v Version | grep -q '1.2' || fail "registry value not written"

# The same setup run silently into another folder gives the same tree.
timeout 180 wine "$work/demo/tidewater_patch.exe" /S '/D=C:\Silent Atlas' >/dev/null 2>&1 || fail "silent install failed"
tree_of() { (cd "$1" && find . -type f ! -name 'Tidewater_install.log' ! -name 'Tidewater_Uninstall.exe' | sort |
             while read -r f; do printf '%s %s\n' "$(md5sum < "$f" | cut -c1-32)" "$f"; done); }
diff <(tree_of "$target_unix") <(tree_of "$drive_c/Silent Atlas") > "$work/tree.diff" ||
  { cat "$work/tree.diff" >&2; fail "the wizard install differs from the silent install"; }
echo "ok   installed tree equals the silent install's ($(tree_of "$target_unix" | wc -l) files)"

# ---- interactive uninstall ----------------------------------------------------
echo "== uninstall through the wizard"
set +e
timeout 120 wine "$driver" uninstall "$(winepath -w "$target_unix/Tidewater_Uninstall.exe")" "$shots_win"
urc=$?
set -e
if [ $urc -eq 0 ]; then
  for f in readme.txt maps/coast.map legacy/coast-1998.map Tidewater_install.log; do
    [ ! -e "$target_unix/$f" ] || fail "still there after the uninstall: $f"
  done
fi

# ---- screenshots ------------------------------------------------------------------
for bmp in "$work"/shots/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
done
ls "$work"/shots/*.png | sed 's|.*/|shot |'
if [ -n "$shots_out" ]; then
  mkdir -p "$shots_out"
  cp "$work"/shots/*.png "$shots_out"/
fi
[ $urc -eq 0 ] || fail "the wizard run of the uninstaller had $urc failed checks"
echo "== the setup and its uninstaller went through the wizard"
