#!/usr/bin/env bash
# planting.sh STUB FERRYC_EXE DRIVER_EXE SOURCE_DIR WORK_DIR PLANTED_DIR NAME...
#
# A setup started from a download folder where a web page has dropped DLLs
# beside it. PLANTED_DIR holds one DLL for each NAME (msimg32, uxtheme, ...;
# ctest passes the CMake list one name an argument), each of which, when
# loaded, leaves a marker in $work/marks and refuses to load. Wine prefers
# its own DLLs; here it is told to prefer these, as Windows prefers what
# lies in the program's folder. A control run of a program that loads them
# by bare name from that folder must leave every marker; then neither a
# silent install nor a wizard run through the parts that load DLLs of their
# own (pictures, rich edits of the change log and of the debug window) may
# leave one.
set -euo pipefail
stub=$1 ferryc_exe=$2 driver=$3 src=$4 work=$5 planted=$6
names=("${@:7}")

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"

download="$work/download" marks="$work/marks"
mkdir -p "$download" "$marks"
for n in "${names[@]}"; do cp "$planted/$n.dll" "$download/"; done
use_ferryc "$ferryc_exe"
setup="$download/tidewater_patch.exe"
ferryc compile "$(tool_path "$src/examples/demo/demo.fss")" --stub "$(tool_path "$stub")" -o "$(tool_path "$setup")" -q
test -s "$setup"

# Wine's own user32 imports version.dll (Windows's does not): preferred to
# Wine's, a planted one is loaded into every program before its first line,
# whatever the program does. It lies beside the setup, but Wine keeps its own.
preferred=()
for n in "${names[@]}"; do [ "$n" = version ] || preferred+=("$n"); done
export FERRY_PLANT_MARKS
FERRY_PLANT_MARKS=$(win_path "$marks")
planted_wine() {
  local list
  list=$(IFS=,; echo "${preferred[*]}")
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$list=n,b" "$@"
}
# Prints the markers left since the last call and clears them.
take_marks() {
  local f
  for f in "$marks"/*.loaded; do
    [ -e "$f" ] || continue
    printf '%s (loaded by %s)\n' "$(basename "$f" .loaded)" "$(tr -d '\r' < "$f")"
    rm -f "$f"
  done
}

echo "== control: a program in the download folder loads each name"
cp "$driver" "$download/control.exe"
planted_wine timeout 60 wine "$download/control.exe" load "${preferred[@]/%/.dll}" > "$work/control.out" 2>&1 || true
rm -f "$download/control.exe"
control=$(take_marks)
[ "$(printf '%s\n' "$control" | grep -c .)" -eq "${#preferred[@]}" ] ||
  { cat "$work/control.out" >&2; printf '%s\n' "$control" >&2; fail "the control run did not load every planted DLL"; }
echo "ok   the control run loaded all ${#preferred[@]} planted DLLs Wine was told to prefer"

# The wizard first: the silent install leaves registry values that change
# what the wizard's start-up asks.
echo "== wizard: debug window, welcome and change log pages"
# The change log once went through RETL.temp in the temporary folder: a link
# planted there must lead nowhere.
temp_win=$(wine cmd /c echo %TEMP% | tr -d '\r')
temp="$drive_c/${temp_win#C:\\}"
temp=${temp//\\//}
mkdir -p "$temp"
printf 'canary' > "$work/canary"
ln -sf "$work/canary" "$temp/RETL.temp"
rc=0
planted_wine timeout 120 wine "$driver" glance "$(win_path "$setup")" > "$work/wizard.out" 2>&1 || rc=$?
cat "$work/wizard.out"
[ "$(cat "$work/canary")" = canary ] || fail "the change log was written through a link in the temporary folder"
wizard=$(take_marks)
[ -z "$wizard" ] || { printf '%s\n' "$wizard" >&2; fail "the wizard loaded planted DLLs"; }
[ $rc -eq 0 ] || fail "the wizard run had $rc failed checks"
echo "ok   the wizard loaded none"
echo "== silent install"
rc=0
planted_wine env WINEDEBUG=+pid,+loaddll timeout 180 wine "$setup" /S '/D=C:\Planted Atlas' > "$work/silent.out" 2>&1 || rc=$?
silent=$(take_marks)
[ -z "$silent" ] || { printf '%s\n' "$silent" >&2; fail "the silent install loaded planted DLLs"; }
[ $rc -eq 0 ] && [ -f "$drive_c/Planted Atlas/readme.txt" ] || { cat "$work/silent.out" >&2; fail "silent install failed ($rc)"; }
echo "ok   the silent install loaded none"
# Nor any window library, from anywhere: a silent run shows no window. Wine's
# own user32 maps uxtheme at the first window, the progress hand-over's
# message-only one, so that one is not counted.
pid=$(grep -m1 'loaddll:.* Loaded L".*tidewater_patch\.exe"' "$work/silent.out" | cut -d: -f1)
[ -n "$pid" ] || fail "no module list of the silent install"
window_libs=$(grep "^$pid:.*loaddll:.* Loaded L" "$work/silent.out" |
  grep -ioE '\\(comctl32|riched20|msftedit|gdiplus|windowscodecs|oleacc|msimg32|dwmapi)\.dll"' | sort -u || true)
[ -z "$window_libs" ] || { printf '%s\n' "$window_libs" >&2; fail "the silent install loaded window libraries"; }
echo "ok   the silent install loaded no window library"
