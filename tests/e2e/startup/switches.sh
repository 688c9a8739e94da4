#!/usr/bin/env bash
# switches.sh STUB FERRYC SOURCE_DIR WORK_DIR
#
# A small setup run in a fresh prefix with command lines it must refuse or
# answer without installing:
#   /S /D=C:\   exit code 3, the folder named on standard error, nothing
#               written (no file in C:\, no registry value, no registration);
#   /S /BOGUS   exit code 3, the switch and the usage on standard error;
#   /? /HELP    exit code 0, the usage on standard output.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
mkdir -p "$work/setup"

cd "$work/setup"
mkdir -p Files
printf 'read me' > Files/readme.txt
test_setup "$src" "Ferry Switches" switches_setup.exe FS > switches.fss
uninstall_pages "$src" >> switches.fss
cat >> switches.fss <<'SCRIPT'
file Files\
writeregstr HKCU "Software\Ferry Switches\" Folder "$INSTDIR"
SCRIPT
ferryc compile "$(tool_path switches.fss)" --stub "$(tool_path "$stub")" -o "$(tool_path "$work/switches_setup.exe")" -q
setup=$work/switches_setup.exe

run() {  # name args...: standard output and error kept apart, CRs dropped
  local name=$1
  shift
  set +e
  wine "$setup" "$@" > "$work/$name.out" 2> "$work/$name.err"
  echo $? > "$work/$name.rc"
  set -e
  tr -d '\r' < "$work/$name.out" > "$work/$name.stdout"
  tr -d '\r' < "$work/$name.err" > "$work/$name.stderr"
}
expect_rc() {  # name code
  [ "$(cat "$work/$1.rc")" = "$2" ] || { cat "$work/$1.stderr" >&2; fail "$1: exit code $(cat "$work/$1.rc"), expected $2"; }
}
reg_absent() {  # key [value]
  if [ $# -eq 2 ]; then
    ! wine reg query "$1" /v "$2" >/dev/null 2>&1 || fail "registry value $1\\$2 was written"
  else
    ! wine reg query "$1" >/dev/null 2>&1 || fail "registry key $1 was written"
  fi
}

# ---- a drive root -------------------------------------------------------------
before=$(ls -A "$drive_c" | sort)
run root /S '/D=C:\'
expect_rc root 3
expect_text "$work/root.stderr" 'Error: The folder "C:\" cannot be used: it is the root of a drive or network share.'
[ "$(ls -A "$drive_c" | sort)" = "$before" ] || fail "root: C:\\ holds new entries: $(ls -A "$drive_c")"
reg_absent 'HKCU\Software\Ferry Switches' Folder
reg_absent 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Switches'

# ---- an unknown switch, and help --------------------------------------------
run bogus /S /BOGUS
expect_rc bogus 3
expect_text "$work/bogus.stderr" 'Error: Unknown switch "/BOGUS".'
expect_text "$work/bogus.stderr" 'Usage: setup.exe [archive] [/S] [/DEBUG] [/RESTARTOK] [/LOG=file] [/ALLOWDOWNGRADE] [/ALLUSERS|/CURRENTUSER]'

for help in '/?' /help; do
  run help "$help"
  expect_rc help 0
  expect_text "$work/help.stdout" 'Usage: setup.exe [archive] [/S] [/DEBUG] [/RESTARTOK] [/LOG=file] [/ALLOWDOWNGRADE] [/ALLUSERS|/CURRENTUSER]'
  [ ! -s "$work/help.stderr" ] || { cat "$work/help.stderr" >&2; fail "$help wrote to standard error"; }
done
[ "$(ls -A "$drive_c" | sort)" = "$before" ] || fail "C:\\ holds new entries after the refused runs"
echo "switches: all checks passed"
