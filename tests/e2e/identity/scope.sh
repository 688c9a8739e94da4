#!/usr/bin/env bash
# scope.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# "scope user": the setup's manifest (read from the file) asks for no
# elevation; a silent install without /D= goes below the user's own
# programs folder, writes nothing below HKLM\Software or the program files
# folders, registers under HKCU (reg query, wine uninstaller --list) and its
# uninstaller leaves nothing. "scope either": /CURRENTUSER installs like
# that, and a later run without a switch finds it there; /ALLUSERS installs
# below Program Files with the registration under HKLM; a switch against
# where the product is installed is refused with exit code 5.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"
use_ferryc "$ferryc_exe"

mkdir -p Files
printf 'tide table' > Files/tides.tbl
head=$(test_setup "$src" "Ferry Scope" user.exe FSC; uninstall_pages "$src")
body='file Files\
createshortcut "$SMPROGRAMS\Ferry Scope\Tides.lnk" "$INSTDIR\tides.tbl" ""
writeregstr HKCU "Software\Ferry Scope" Folder $INSTDIR'
{ printf '%s\n' "$head" 'scope user' "$body"; } |
  sed 's/^installdir .*/installdir "$USERPROGRAMFILES\\Ferry Scope\\"/' > user.fss
{ printf '%s\n' "$head" 'scope either' "$body"; } | sed 's/^outfile .*/outfile either.exe/' > either.fss
ferryc compile user.fss --stub "$(tool_path "$stub")" -o user.exe -q
ferryc compile either.fss --stub "$(tool_path "$stub")" -o either.exe -q
for exe in user.exe either.exe; do
  grep -qa 'level="asInvoker"' "$exe" || fail "$exe: the manifest does not ask for asInvoker"
  ! grep -qa 'requireAdministrator' "$exe" || fail "$exe: the manifest still asks for administrator rights"
done
grep -qa 'requireAdministrator' "$(realpath "$stub")" || fail "the stub itself lost its level"

run() {  # name program args...
  local name=$1 rc=0
  shift
  wine "$@" > "$work/$name.out" 2> "$work/$name.err" || rc=$?
  [ "$rc" = 0 ] || { cat "$work/$name.err" >&2; fail "$name: exit code $rc"; }
}
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Scope'
value_of() {  # root name
  wine reg query "$1\\$uninstall_key" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_SZ    //p"
}
machine_state() {
  wine reg export 'HKLM\Software' "$(win_path "$work/hklm.reg")" /y >/dev/null 2>&1 || fail "reg export failed"
  iconv -f UTF-16LE -t UTF-8 "$work/hklm.reg" | tr -d '\r'
  find "$drive_c/Program Files" "$drive_c/Program Files (x86)" "$drive_c/ProgramData" | sort
}
local_appdata=$(wine cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
user_folder="$local_appdata\\Programs\\Ferry Scope"
user_dir="$drive_c/${user_folder#C:\\}"; user_dir=${user_dir//\\//}

# user_run NAME SETUP [SWITCH]: a user's install and uninstall, the machine untouched.
user_run() {
  machine_state > "$work/$1.machine.before"
  run "$1" "$work/setup/$2" /S ${3:-}
  [ -f "$user_dir/tides.tbl" ] || fail "$1: not installed into $user_folder"
  [ "$(value_of HKCU InstallLocation)" = "$user_folder" ] || fail "$1: HKCU registration '$(value_of HKCU InstallLocation)'"
  ! wine reg query "HKLM\\$uninstall_key" >/dev/null 2>&1 || fail "$1: registered under HKLM"
  wine uninstaller --list 2>/dev/null | tr -d '\r' > "$work/$1.list"
  expect_text "$work/$1.list" 'Ferry Scope'
  machine_state > "$work/$1.machine.after"
  diff "$work/$1.machine.before" "$work/$1.machine.after" >&2 || fail "$1: the install wrote to the machine's places"
  run "$1-uninstall" "$user_dir/FSC_Uninstall.exe" /S
  for i in $(seq 60); do [ -e "$user_dir" ] || break; sleep 0.5; done
  [ ! -e "$user_dir" ] || fail "$1: the uninstall left $(find "$user_dir" | head -3)"
  ! wine reg query "HKCU\\$uninstall_key" >/dev/null 2>&1 || fail "$1: the uninstall left the registration"
  ! wine reg query 'HKCU\Software\Ferry Scope' /v Folder >/dev/null 2>&1 || fail "$1: the uninstall left the value"
  ! find "$drive_c/users" -name Tides.lnk | grep -q . || fail "$1: the uninstall left the shortcut"
}
user_run user user.exe
user_run either-current either.exe /CURRENTUSER

# Installed for the user, a run without a switch stays there (it would pick
# the machine here, where Wine gives every process administrator rights).
run either-first "$work/setup/either.exe" /S /CURRENTUSER
run either-again "$work/setup/either.exe" /S
[ "$(value_of HKCU InstallLocation)" = "$user_folder" ] || fail "again: the user's registration moved"
! wine reg query "HKLM\\$uninstall_key" >/dev/null 2>&1 || fail "again: registered for the machine as well"
[ ! -e "$drive_c/Program Files/Ferry Scope" ] || fail "again: installed below Program Files as well"
run either-again-uninstall "$user_dir/FSC_Uninstall.exe" /S

# A switch against where the product is installed is refused before anything
# is written (exit code 5), naming where it is and what to do.
machine_dir="$drive_c/Program Files/Ferry Scope"
while read -r installed against where; do
  run "against-$installed" "$work/setup/either.exe" /S "/$installed"
  machine_state > "$work/against-$installed.before"
  ls -lR "$user_dir" "$machine_dir" > "$work/against-$installed.files.before" 2>/dev/null || true
  rc=0
  wine "$work/setup/either.exe" /S "/$against" > "$work/against-$against.out" 2> "$work/against-$against.err" || rc=$?
  [ "$rc" = 5 ] || { cat "$work/against-$against.err" >&2; fail "/$against over an install for $where: exit $rc"; }
  expect_text "$work/against-$against.err" "is installed $where"
  expect_text "$work/against-$against.err" "or uninstall it first"
  machine_state > "$work/against-$installed.after"
  ls -lR "$user_dir" "$machine_dir" > "$work/against-$installed.files.after" 2>/dev/null || true
  diff "$work/against-$installed.before" "$work/against-$installed.after" >&2 || fail "/$against: the machine changed"
  diff "$work/against-$installed.files.before" "$work/against-$installed.files.after" >&2 ||
    fail "/$against: the installed files changed"
  [ "$installed" = CURRENTUSER ] && uninstaller="$user_dir/FSC_Uninstall.exe" || uninstaller="$machine_dir/FSC_Uninstall.exe"
  run "against-$installed-uninstall" "$uninstaller" /S
  # The uninstaller's removal copy goes on for a moment.
  for i in $(seq 60); do [ -e "$user_dir" ] || [ -e "$machine_dir" ] || break; sleep 0.5; done
done <<'ROWS'
CURRENTUSER ALLUSERS for one user
ALLUSERS CURRENTUSER for everyone on this computer
ROWS

run either-all "$work/setup/either.exe" /S /ALLUSERS
[ -f "$drive_c/Program Files/Ferry Scope/tides.tbl" ] || fail "/ALLUSERS: not installed below Program Files"
[ "$(value_of HKLM InstallLocation)" = 'C:\Program Files\Ferry Scope' ] || fail "/ALLUSERS: HKLM registration"
! wine reg query "HKCU\\$uninstall_key" >/dev/null 2>&1 || fail "/ALLUSERS: registered under HKCU"
run either-all-uninstall "$drive_c/Program Files/Ferry Scope/FSC_Uninstall.exe" /S
! wine reg query "HKLM\\$uninstall_key" >/dev/null 2>&1 || fail "/ALLUSERS: the uninstall left the registration"
echo "e2e scope: all checks passed"
