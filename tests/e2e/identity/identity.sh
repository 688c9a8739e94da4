#!/usr/bin/env bash
# identity.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A product with "productid Atlas.Charts" installed into C:\First: registered
# under that key; a second silent run without /D= finds C:\First; /D= to
# another folder is refused (exit 5, the message names both folders,
# nothing written there). A "sidebyside" product installed into two
# folders: two registrations, each uninstaller removes its own install and
# its own registration only.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"
use_ferryc "$ferryc_exe"

mkdir -p Files
printf 'tide table' > Files/tides.tbl
head=$(test_setup "$src" "Ferry Identity" identity.exe FID; uninstall_pages "$src")
{ printf '%s\n' "$head" 'productid Atlas.Charts' 'file Files\'; } > single.fss
{ printf '%s\n' "$head" 'productid Atlas.Side' 'sidebyside' 'file Files\'; } |
  sed 's/^outfile .*/outfile side.exe/' > side.fss
ferryc compile single.fss --stub "$(tool_path "$stub")" -o identity.exe -q
ferryc compile side.fss --stub "$(tool_path "$stub")" -o side.exe -q
ferryc info identity.exe | tr -d '\r' > info.txt
expect_text info.txt 'ProductId: Atlas.Charts'

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
value_of() {  # key name
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_SZ    //p"
}
run() {  # name expected-exit program args...
  local name=$1 expected=$2 rc=0
  shift 2
  wine "$@" > "$work/$name.out" 2> "$work/$name.err" || rc=$?
  tr -d '\r' < "$work/$name.err" > "$work/$name.txt"
  [ "$rc" = "$expected" ] || { cat "$work/$name.txt" >&2; fail "$name: exit code $rc, expected $expected"; }
}

# ---- one product, one folder ------------------------------------------------------
run first 0 "$work/setup/identity.exe" /S '/D=C:\First'
[ "$(value_of "$uninstall_key\\Atlas.Charts" InstallLocation)" = 'C:\First' ] ||
  fail "the registration under the product id does not name C:\\First"
! wine reg query "$uninstall_key\\Ferry Identity" >/dev/null 2>&1 || fail "registered under the title too"
rm "$drive_c/First/tides.tbl"
run again 0 "$work/setup/identity.exe" /S
[ -f "$drive_c/First/tides.tbl" ] || fail "a run without /D= did not install into the installed folder"
[ ! -e "$drive_c/Program Files/Ferry Identity" ] || fail "a run without /D= used the default folder"
run second 5 "$work/setup/identity.exe" /S '/D=C:\Second'
expect_text "$work/second.txt" '"Ferry Identity" is installed in "C:\First"; it is not installed a second time in "C:\Second".'
[ ! -e "$drive_c/Second" ] || fail "the refused run wrote into C:\\Second"
[ "$(value_of "$uninstall_key\\Atlas.Charts" InstallLocation)" = 'C:\First' ] || fail "the refused run changed the registration"
run first-uninstall 0 "$drive_c/First/FID_Uninstall.exe" /S
! wine reg query "$uninstall_key\\Atlas.Charts" >/dev/null 2>&1 || fail "the uninstall left the registration"

# ---- side by side -----------------------------------------------------------------
side_keys() { wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | grep -o 'Atlas\.Side_[0-9A-F]*$' | sort; }
run side-a 0 "$work/setup/side.exe" /S '/D=C:\Side A'
run side-b 0 "$work/setup/side.exe" /S '/D=C:\Side B'
[ "$(side_keys | wc -l)" = 2 ] || { side_keys >&2; fail "two side-by-side installs: not two registrations"; }
for key in $(side_keys); do
  case "$(value_of "$uninstall_key\\$key" DisplayName)" in
    'Ferry Identity (C:\Side A)' | 'Ferry Identity (C:\Side B)') ;;
    *) fail "$key: DisplayName '$(value_of "$uninstall_key\\$key" DisplayName)'" ;;
  esac
done
wine uninstaller --list 2>/dev/null | tr -d '\r' > "$work/list.txt"
expect_text "$work/list.txt" 'Ferry Identity (C:\Side A)'
expect_text "$work/list.txt" 'Ferry Identity (C:\Side B)'
run side-a-uninstall 0 "$drive_c/Side A/FID_Uninstall.exe" /S
[ ! -e "$drive_c/Side A/tides.tbl" ] || fail "side A's uninstaller left its files"
[ -f "$drive_c/Side B/tides.tbl" ] || fail "side A's uninstaller removed side B's files"
[ "$(side_keys | wc -l)" = 1 ] || fail "side A's uninstaller did not remove exactly its registration"
[ "$(value_of "$uninstall_key\\$(side_keys)" InstallLocation)" = 'C:\Side B' ] || fail "side B's registration is gone"
run side-b-uninstall 0 "$drive_c/Side B/FID_Uninstall.exe" /S
[ -z "$(side_keys)" ] || fail "a registration stayed after both uninstalls"
echo "e2e identity: all checks passed"
