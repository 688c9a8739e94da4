#!/usr/bin/env bash
# self_removal.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# The uninstaller removes itself and the install folder once it has ended,
# whatever letters the folders hold. A small setup is installed silently
# into a folder with letters beyond ASCII, under the code page that holds
# them, while the user's temporary folder holds letters that code page
# lacks; its uninstaller is then run silently by the registration's path.
# Within 30 s the uninstaller and the install folder must be gone, and the
# temporary folder must hold nothing of ours.
#   1252   C:\Prógram Fíles\Tést, the temporary folder of a user Иван
#   1251   C:\Программы\Тест, the temporary folder of a user José
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"

mkdir -p Files/maps
printf 'tide table' > Files/tides.tbl
printf 'coast map' > Files/maps/coast.map
test_setup "$src" "Ferry Removal Test" removal_test.exe FRT > removal.fss
uninstall_pages "$src" >> removal.fss
cat >> removal.fss <<'SCRIPT'
shortname "Ferry Removal Test"
file Files\
SCRIPT
use_ferryc "$ferryc_exe"
ferryc compile removal.fss --stub "$(tool_path "$stub")" -o removal_test.exe -q
test -s removal_test.exe

regkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Removal Test'

# run_case NAME LOCALE OEM-CODE-PAGE INSTALL-DIR TEMP-DIR (Windows paths on drive C:)
run_case() {
  local name=$1 oem=$3 dir=$4 temp=$5 inst tmp quiet program rc i
  export LC_ALL=$2
  inst="$drive_c/${dir#C:\\}"
  inst=${inst//\\//}
  tmp="$drive_c/${temp#C:\\}"
  tmp=${tmp//\\//}
  mkdir -p "$tmp"
  wine reg add 'HKCU\Environment' /v TEMP /d "$temp" /f > /dev/null
  wine reg add 'HKCU\Environment' /v TMP /d "$temp" /f > /dev/null
  case $(wine cmd /c set TEMP | tr -d '\r') in
    *root*) fail "$name: the temporary folder is not the user's" ;;
  esac

  set +e
  wine "$work/setup/removal_test.exe" /S "/D=$dir" 2> "$work/$name.install.err" > /dev/null
  rc=$?
  set -e
  [ "$rc" = 0 ] || { cat "$work/$name.install.err" >&2; fail "$name: the install ended with exit code $rc"; }
  [ -f "$inst/FRT_Uninstall.exe" ] || fail "$name: no uninstaller in $inst"
  [ -f "$inst/maps/coast.map" ] || fail "$name: no installed file in $inst"

  # reg prints in the OEM code page.
  quiet=$(wine reg query "$regkey" /v QuietUninstallString | iconv -f "CP$oem" -t UTF-8 | tr -d '\r' |
    sed -n 's/^    .*    REG_SZ    \(.*\)$/\1/p')
  [[ $quiet =~ ^\"([^\"]+)\"\ /S$ ]] || fail "$name: QuietUninstallString '$quiet'"
  program=${BASH_REMATCH[1]}
  set +e
  wine "$program" /S 2> "$work/$name.uninstall.err" > /dev/null
  rc=$?
  set -e
  [ "$rc" = 0 ] || { cat "$work/$name.uninstall.err" >&2; fail "$name: the uninstall ended with exit code $rc"; }
  expect_text "$work/$name.uninstall.err" 'Uninstall finished: "Ferry Removal Test" was removed.'

  for i in $(seq 1 60); do
    [ -e "$inst" ] || [ -n "$(ls -A "$tmp")" ] || break
    sleep 0.5
  done
  [ ! -e "$inst/FRT_Uninstall.exe" ] || fail "$name: the uninstaller is still there after 30 s"
  [ ! -e "$inst" ] || { find "$inst" >&2; fail "$name: the install folder is still there after 30 s"; }
  [ -z "$(ls -A "$tmp")" ] || { ls -la "$tmp" >&2; fail "$name: the temporary folder still holds files"; }
  unset LC_ALL
}

run_case 1252 C.UTF-8 437 'C:\Prógram Fíles\Tést' 'C:\users\Иван\Temp'
run_case 1251 ru_RU.UTF-8 866 'C:\Программы\Тест' 'C:\users\José\Temp'
echo "e2e self-removal: all checks passed"
