#!/usr/bin/env bash
# gui.sh STUB FERRYC_EXE DRIVER_EXE SOURCE_DIR WORK_DIR [SHOTS_OUT]
#
# The demo setup driven through its wizard as a person would, under Xvfb
# and Wine: gui_driver.exe clicks through every page of the setup and of
# its uninstaller, checks what the controls show (the debug window against
# the archive as ferryc lists it, the folder tree, every message box of the
# script) and takes a screenshot of each page. The demo gets one extra line,
# a message box in the middle of the work, so that the progress page can be
# looked at while it is shown, two more while the product's package and VFS
# archive are being updated, and a folder of small map tiles, so that its
# uninstall lasts long enough to be seen. Both installs patch Tidewater Atlas
# 1.1 (examples/demo/product-1.1).
# Afterwards the installed tree must equal a silent install's, and the
# uninstall must leave only what 1.1 put there and the install log does not
# record, as a silent uninstall does.
# A "scope either" starter shows its Scope page, and the folder page follows
# the choice.
# With SHOTS_OUT the screenshots are copied there as PNG files.
set -euo pipefail
stub=$1 ferryc_exe=$2 driver=$3 src=$4 work=$5 shots_out=${6:-}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

source "$src/tests/e2e/e2e_common.sh"

# ---- the prefix, with a CD-ROM drive E: ------------------------------------
fresh_prefix "$work"
mkdir -p "$work/shots" "$work/cdrom/Games"
# A folder for the folder-tree check to open and pick.
mkdir -p "$drive_c/Atlas Library/Maps 2026"
ln -sfn "$work/cdrom" "$WINEPREFIX/dosdevices/e:"
wine reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f >/dev/null 2>&1
# GUI_DPI (96 by default; 144 is 150 %) sets the display's DPI for the run.
if [ -n "${GUI_DPI:-}" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$GUI_DPI" /f >/dev/null 2>&1
  wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$GUI_DPI" /f >/dev/null 2>&1
fi
# The drive is read when the server starts.
wineserver -k >/dev/null 2>&1 || true
keep_server

# ---- the demo, with a pause in the middle of its work ----------------------
cp -r "$src/examples/demo" "$work/demo"
# The package's box comes once data.rkp is written, the archive's while
# maps.vfs is open between its two lines.
awk '{ print } /^file Extras\\ extras/ {
       print "file TilesA\\ tiles\\a"
       print "messagebox \"The atlas files are in place.\" \"Tidewater Atlas\" 0 0"
       print "file TilesB\\ tiles\\b" }
     /^rkpupdate / { print "messagebox \"The package data.rkp holds the 1.2 entries.\" \"Tidewater Atlas\" 0 0" }
     /^vfsupdate .* 0\r?$/ { print "messagebox \"The chart archive maps.vfs is open for its update.\" \"Tidewater Atlas\" 0 0" }' \
  "$src/examples/demo/demo.fss" > "$work/demo/demo.fss"
[ "$(grep -c 'The atlas files are in place\|holds the 1.2 entries\|open for its update' "$work/demo/demo.fss")" = 3 ] ||
  fail "could not add the pauses to the demo script"
mkdir -p "$work/demo/TilesA" "$work/demo/TilesB"
for i in $(seq -w 1 200); do
  echo "tile a$i" > "$work/demo/TilesA/t$i.dat"
  echo "tile b$i" > "$work/demo/TilesB/t$i.dat"
done
cd "$work/demo"
ferryc() {
  case "$ferryc_exe" in
    *.exe) wine "$ferryc_exe" "$@" | tr -d '\r' ;;
    *) "$ferryc_exe" "$@" ;;  # a native build of ferryc
  esac
}
case "$ferryc_exe" in
  *.exe) ferryc compile demo.fss --stub "$(win_path "$stub")" -o tidewater_patch.exe -q ;;
  *) ferryc compile demo.fss --stub "$stub" -o tidewater_patch.exe -q ;;
esac
test -f tidewater_patch.exe

# ---- what the driver checks against, read with ferryc and from the script --
expect="$work/expect"
mkdir -p "$expect"
ferryc list tidewater_patch.exe > "$expect/list.txt"
ferryc info tidewater_patch.exe > "$expect/info.txt"
field() { sed -n "s/^$1: //p" "$expect/info.txt" | head -n 1; }
entries=$(grep -v '^#' "$expect/list.txt" | tail -n +2)
roots=(HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT HKEY_USERS HKEY_CURRENT_CONFIG)
root_index=$(field InstallDirRegKey.RootKey | cut -d' ' -f1)
{
  printf 'Header\nID: RKPF\nVersion: *\nFile Count: %s\n\nFiles:\n' "$(printf '%s\n' "$entries" | wc -l)"
  printf '%s\n' "$entries" | sed -E 's/^ *[0-9]+ +([0-9]+) +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ +[^ ]+ (.*)$/"\2" Group: \1/'
  printf '\nSetupInfo:\n'
  # The wizard has expanded the install folder's path variable by then.
  printf 'SetupName: %s\nSetupExeName: %s\nInstallDir: %s\n' "$(field SetupTitle)" "$(field SetupExeName)" \
    "$(field InstallDir | sed 's/^\$PROGRAMFILES/C:\\Program Files/I')"
  printf 'InstallDirRegKey.HKEY: %s\n' "${roots[$root_index]:-!ERROR!}"
  printf 'InstallDirRegKey.Path: %s\nInstallDirRegKey.Key: %s\nChangelog: %s\n' \
    "$(field InstallDirRegKey.Key)" "$(field InstallDirRegKey.ValueName)" "$(field ChangelogName)"
} > "$expect/debug.txt"
grep -q '" Group: [0-9]' "$expect/debug.txt" || fail "could not read the archive directory with ferryc"
# Every message box the script can show: caption, tab, text; path
# variables stand for any text.
sed -nE 's/^[[:space:]]*messagebox[[:space:]]+"([^"]*)"[[:space:]]+"([^"]*)".*/\2\t\1/Ip' demo.fss |
  sed -E 's/\$[A-Za-z]+/*/g' > "$expect/boxes.txt"
echo 'C:\Atlas Library\Maps 2026' > "$expect/tree.txt"
# The boxes that hold the work for a look at an archive's update: part of the
# box's text, the shot, what the status line must name.
printf '%s\t%s\t%s\n' 'holds the 1.2 entries' setup-5-progress-package data.rkp \
  'open for its update' setup-5-progress-vfs maps.vfs > "$expect/archive-shots.txt"

shots_win=$(win_path "$work/shots")
target='C:\Tidewater Atlas'
target_unix="$drive_c/Tidewater Atlas"

# The package's trailer is enciphered under fresh random key parameters at
# every save: its entries are compared, not its bytes.
tree_of() {
  (cd "$1" && find . -type f ! -name 'Tidewater_install.log' ! -name 'Tidewater_Uninstall.exe' ! -name data.rkp | sort |
   while read -r f; do printf '%s %s\n' "$(md5sum < "$f" | cut -c1-32)" "$f"; done)
  ferryc rkp ls "$(win_path "$1/data.rkp")" | tail -n +2
}
# What is left of an install in DIR once the uninstaller, which removes
# itself and the folders left empty after it has ended, is done.
left_in() {
  local dir=$1 i
  for i in $(seq 1 60); do
    [ -e "$dir/Tidewater_Uninstall.exe" ] || break
    sleep 0.5
  done
  if [ -e "$dir" ]; then (cd "$dir" && find . -mindepth 1 | sort); fi
}
# The files of 1.1 that the install log does not record: the program, the
# tide table the patch renamed, the archives it updated.
product_left=$(printf '%s\n' ./atlas.exe ./bin/tides-old.tbl ./data.rkp ./maps.ht ./maps.vfs)
files_in() { printf '%s\n' "$1" | while read -r f; do if [ -f "$2/$f" ]; then echo "$f"; fi; done | LC_ALL=C sort; }
# The registry values and shortcuts the script writes that are still there.
outside_left() {
  local key value
  while IFS='|' read -r key value; do
    if wine reg query "$key" /v "$value" >/dev/null 2>&1; then echo "registry $key $value"; fi
  done <<'VALUES'
HKCU\Software\Tidewater Atlas|Version
HKCU\Software\Tidewater Atlas|PatchFolder
HKLM\Software\Tidewater Atlas\Patches\1.2|Folder
HKCR\tidewater|URL Protocol
HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewater Atlas|DisplayName
HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewater Atlas|UninstallString
VALUES
  find "$drive_c" -iname '*.lnk' -path '*Programs/Tidewater Atlas/*' | sed "s|^$drive_c|shortcut |"
}

# ---- the same setup run silently, installed and uninstalled -------------------
echo "== Tidewater Atlas 1.1 twice, then the patch silently, installed and uninstalled, to compare with"
"$src/examples/demo/product-1.1/install" "$drive_c/Silent Atlas" "$ferryc_exe"
"$src/examples/demo/product-1.1/install" "$drive_c/Tidewater Atlas" "$ferryc_exe"
timeout 180 wine "$work/demo/tidewater_patch.exe" /S '/D=C:\Silent Atlas' >/dev/null 2>&1 || fail "silent install failed"
silent_tree=$(tree_of "$drive_c/Silent Atlas")
[ -n "$(outside_left)" ] || fail "the silent install wrote none of the registry values and shortcuts"
timeout 120 wine "$drive_c/Silent Atlas/Tidewater_Uninstall.exe" /S >/dev/null 2>&1 || fail "silent uninstall failed"
silent_left=$(left_in "$drive_c/Silent Atlas")
silent_outside=$(outside_left)
[ "$(files_in "$silent_left" "$drive_c/Silent Atlas")$silent_outside" = "$product_left" ] ||
  echo "note: a silent uninstall leaves: $silent_left $silent_outside"

# ---- interactive install ------------------------------------------------------
echo "== install through the wizard"
set +e
timeout 240 wine "$driver" install "$(win_path "$work/demo/tidewater_patch.exe")" "$shots_win" "$target" 'E:\Games' \
  "$(win_path "$expect")"
rc=$?
set -e
[ $rc -eq 0 ] || fail "the wizard run of the setup had $rc failed checks"

for f in readme.txt atlas.cfg maps/coast.map maps/index.dat extras/wallpapers/tide.bmp legacy/coast-1998.map \
         Tidewater_install.log Tidewater_Uninstall.exe; do
  test -f "$target_unix/$f" || fail "missing after the install: $f"
done
wine reg query 'HKCU\Software\Tidewater Atlas' /v Version | grep -q '1.2' || fail "registry value not written"
diff <(tree_of "$target_unix") <(printf '%s\n' "$silent_tree") > "$work/tree.diff" ||
  { cat "$work/tree.diff" >&2; fail "the wizard install differs from the silent install"; }
echo "ok   installed tree equals the silent install's ($(tree_of "$target_unix" | wc -l) files)"
installed=$(cd "$target_unix" && find . -mindepth 1 | wc -l)
written=$(outside_left | wc -l)

# ---- interactive uninstall ----------------------------------------------------
echo "== uninstall through the wizard"
set +e
timeout 120 wine "$driver" uninstall "$(win_path "$target_unix/Tidewater_Uninstall.exe")" "$shots_win"
urc=$?
set -e
if [ $urc -eq 0 ]; then
  left=$(left_in "$target_unix")
  outside=$(outside_left)
  [ "$(files_in "$left" "$target_unix")" = "$product_left" ] && [ -z "$outside" ] ||
    { printf '%s\n%s\n' "$left" "$outside" >&2; fail "the wizard's uninstall left part of the install"; }
  [ "$left" = "$silent_left" ] && [ "$outside" = "$silent_outside" ] || fail "a silent uninstall leaves something else"
  echo "ok   the wizard's uninstall left only 1.1's own files of $installed files and folders and none of $written values and shortcuts, as a silent one"
fi

# ---- the Scope page of a "scope either" setup ---------------------------------
echo "== the Scope page of the starter, as a scope either setup"
mkdir -p "$work/scope"
as_ferryc_takes() { case "$ferryc_exe" in *.exe) win_path "$1" ;; *) echo "$1" ;; esac; }
ferryc new "$(as_ferryc_takes "$work/scope/starter")" > /dev/null
printf 'scope either\r\n' >> "$work/scope/starter/setup.fss"
(cd "$work/scope/starter" && ferryc compile setup.fss --stub "$(as_ferryc_takes "$stub")" -q)
set +e
timeout 120 wine "$driver" scope "$(win_path "$work/scope/starter/setup.exe")" \
  '*\Programs\My Product\' 'C:\Program Files\My Product\'
src_rc=$?
set -e
[ $src_rc -eq 0 ] || fail "the Scope page had $src_rc failed checks"

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
