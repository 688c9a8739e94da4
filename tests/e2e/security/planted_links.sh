#!/usr/bin/env bash
# planted_links.sh STUB FERRYC FINALISER_MARK SOURCE_DIR WORK_DIR
#
# A program of the user's own at normal rights prepares the names an elevated
# setup used to write and start: links (Wine follows the host's symbolic
# links, as Windows follows links a user may create) in the temporary folder
# at FINALISE.exe, icon.ico, RETL.temp and ferry-remove-<id>.exe for every
# process id Wine hands out early, and at ~ferry-new.tmp in the install
# folder it created beforehand; each link points at a canary file. An
# install, a patch and an uninstall with a finishing program must leave the
# canary as it was and work; the finishing program that ran must be ours,
# from a private folder that is gone afterwards. Then the same with
# directories at those names. Last, a run journal planted as a second name
# of the canary, and an install log with a second name, are refused, not
# replayed.
set -euo pipefail
stub=$1 ferryc_exe=$2 mark_program=$3 src=$4 work=$5

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"

mkdir -p Files/maps
printf 'tide table 1' > Files/tides.tbl
printf 'coast map' > Files/maps/coast.map
cp "$mark_program" finalise.exe
cp "$src/examples/demo/images/icon.ico" icon.ico
test_setup "$src" "Ferry Links Test" links_1.exe FLT > links.fss
uninstall_pages "$src" >> links.fss
cat >> links.fss <<'SCRIPT'
shortname "Ferry Links Test"
@icon icon.ico
@finaliser finalise.exe
file Files\
SCRIPT
use_ferryc "$ferryc_exe"
ferryc compile links.fss --stub "$(tool_path "$stub")" -o links_1.exe -q
printf 'tide table 2' > Files/tides.tbl
sed -i 's/^outfile .*/outfile links_2.exe/' links.fss
ferryc compile links.fss --stub "$(tool_path "$stub")" -o links_2.exe -q
test -s links_1.exe && test -s links_2.exe

temp_win=$(wine cmd /c echo %TEMP% | tr -d '\r')
temp="$drive_c/${temp_win#C:\\}"
temp=${temp//\\//}
mkdir -p "$temp"
canary="$work/canary.bin"
printf 'canary: not to be written, moved or started' > "$canary"
canary_sum=$(sha256sum < "$canary")
export FERRY_TEST_FINALISER_MARK
FERRY_TEST_FINALISER_MARK=$(win_path "$work/finaliser.marks")

# plant KIND PATH: a link to the canary, or a directory, at PATH.
plant() {
  rm -rf "$2"
  if [ "$1" = link ]; then ln -s "$canary" "$2"; else mkdir -p "$2"; fi
}
plant_all() {
  local kind=$1 inst=$2 id
  for name in FINALISE.exe icon.ico RETL.temp; do plant "$kind" "$temp/$name"; done
  for id in $(seq 1 1024); do plant "$kind" "$temp/ferry-remove-$id.exe"; done
  mkdir -p "$inst/maps"
  plant "$kind" "$inst/~ferry-new.tmp"
  plant "$kind" "$inst/maps/~ferry-new.tmp"
}
check_canary() {
  [ -f "$canary" ] && [ "$(sha256sum < "$canary")" = "$canary_sum" ] || fail "$1: the canary was written or moved"
}
# run NAME PROGRAM ARGS...: a silent run that must end with exit code 0.
run() {
  local name=$1 rc=0
  shift
  wine "$@" > "$work/$name.out" 2> "$work/$name.err" || rc=$?
  [ $rc -eq 0 ] || { cat "$work/$name.err" >&2; fail "$name ended with exit code $rc"; }
}

# round KIND FOLDER: install, patch and uninstall with KIND planted.
round() {
  local kind=$1 dir="C:\\$2" inst="$drive_c/$2" i
  plant_all "$kind" "$inst"
  rm -f "$work/finaliser.marks"
  run "$kind-install" "$work/setup/links_1.exe" /S "/D=$dir"
  [ "$(cat "$inst/tides.tbl")" = 'tide table 1' ] || fail "$kind: the install did not write its file"
  check_canary "$kind install"
  run "$kind-patch" "$work/setup/links_2.exe" /S "/D=$dir"
  [ "$(cat "$inst/tides.tbl")" = 'tide table 2' ] || fail "$kind: the patch did not write its file"
  [ -f "$inst/FLT_Uninstall.exe" ] || fail "$kind: no uninstaller"
  check_canary "$kind patch"
  run "$kind-uninstall" "$inst/FLT_Uninstall.exe" /S
  for i in $(seq 1 60); do
    [ -e "$inst/tides.tbl" ] || [ -e "$inst/FLT_Uninstall.exe" ] || [ -n "$(ls -d "$temp"/ferry-run-* 2>/dev/null)" ] || break
    sleep 0.5
  done
  [ ! -e "$inst/tides.tbl" ] && [ ! -e "$inst/FLT_Uninstall.exe" ] || fail "$kind: the uninstall left the product"
  [ -z "$(ls -d "$temp"/ferry-run-* 2>/dev/null)" ] || { ls -la "$temp"/ferry-run-* >&2; fail "$kind: a private folder stayed"; }
  check_canary "$kind uninstall"
  [ -s "$work/finaliser.marks" ] || fail "$kind: the finishing program did not run"
  grep -q 'ferry-run-[0-9a-f]\{16\}\\FINALISE.exe' "$work/finaliser.marks" ||
    { cat "$work/finaliser.marks" >&2; fail "$kind: the finishing program did not run from a private folder"; }
  echo "ok   $kind: install, patch and uninstall; the canary unchanged; our finishing program ran privately"
}

round link "Links Atlas"
round dir "Dirs Atlas"

# A journal no run of this setup wrote: here a second name of the canary.
inst="$drive_c/Journal Atlas"
mkdir -p "$inst"
ln "$canary" "$inst/~ferry-run.journal"
rc=0
wine "$work/setup/links_1.exe" /S '/D=C:\Journal Atlas' > "$work/journal.out" 2> "$work/journal.err" || rc=$?
[ $rc -eq 3 ] || { cat "$work/journal.err" >&2; fail "a planted journal: exit code $rc, not 3"; }
expect_text "$work/journal.err" 'Journal Atlas\~ferry-run.journal was not replayed: it is a second name of another file'
[ ! -e "$inst/tides.tbl" ] || fail "a planted journal: the setup installed anyway"
check_canary "planted journal"
echo "ok   a planted journal is refused (exit 3), named, and left alone"

# An install log with a second name: whoever made that name can rewrite what
# the elevated uninstaller would delete.
inst="$drive_c/Log Atlas"
run log-install "$work/setup/links_1.exe" /S '/D=C:\Log Atlas'
log=$(ls "$inst"/*install.log)
ln "$log" "$work/second-name-of-the-log"
# The refusal is reported in an error report: a link to nowhere at its first
# free-looking name is passed over.
rm -f "$temp"/ErrorLog*.TXT
ln -s "$work/nowhere" "$temp/ErrorLog0000.TXT"
rc=0
wine "$inst/FLT_Uninstall.exe" /S > "$work/log.out" 2> "$work/log.err" || rc=$?
[ $rc -ne 0 ] || fail "an install log with a second name: the uninstall ended with exit code 0"
expect_text "$work/log.err" 'install.log" was not replayed: it is a second name of another file (a hard link)'
expect_text "$work/log.err" 'ErrorLog0001.TXT'
[ ! -e "$work/nowhere" ] || fail "the error report was written through a link"
[ -f "$inst/tides.tbl" ] || fail "an install log with a second name: the uninstall removed files"
echo "ok   an install log with a second name is refused (exit $rc) and nothing is removed"
