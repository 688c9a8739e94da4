#!/usr/bin/env bash
# product_info.sh STUB FERRYC VERSION_READER SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A setup with @version, @publisher and @helpurl: ferryc shows and writes
# back the values; the setup's and its uninstaller's version resource read
# back as given through the system's own calls; a silent install registers
# DisplayVersion, Publisher and URLInfoAbout. A setup of the same product
# without them, installed over it, leaves none of the three behind, and its
# file properties fall back to the product's name and version 0.0.0.0.
# Versions: a patch for 1.1 with nothing installed, over 1.1, over 1.2 and
# over 1.0; 1.1 over 1.2 refused, 1.0 let in by /ALLOWDOWNGRADE; each
# refusal names both versions and writes nothing.
set -euo pipefail
stub=$1 ferryc_exe=$2 reader=$3 src=$4 work=$5

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"

mkdir -p Files
printf 'tide table' > Files/tides.tbl
head=$(test_setup "$src" "Ferry Product Test 2.5" product_test.exe FPT; uninstall_pages "$src")
tail='shortname "Ferry Product"
@icon images\icon.ico
file Files\'
{ printf '%s\n' "$head" '@version "2.5.1.7 beta"' '@publisher "Tidewater Charts"' \
    '@helpurl https://example.invalid/atlas'; printf '%s\n' "$tail"; } > product.fss
{ printf '%s\n' "$head"; printf '%s\n' "$tail"; } | sed 's/^outfile .*/outfile plain_test.exe/' > plain.fss
use_ferryc "$ferryc_exe"
ferryc compile product.fss --stub "$(tool_path "$stub")" -o product_test.exe -q
ferryc compile plain.fss --stub "$(tool_path "$stub")" -o plain_test.exe -q

ferryc info product_test.exe | tr -d '\r' > info.txt
expect_text info.txt 'ProductVersion: 2.5.1.7 beta'
expect_text info.txt 'Publisher: Tidewater Charts'
expect_text info.txt 'HelpUrl: https://example.invalid/atlas'
ferryc extract product_test.exe "$(tool_path again)" > /dev/null
ferryc compile "$(tool_path again/setup.fss)" --stub "$(tool_path again/setup-stub.exe)" \
  -o "$(tool_path again/product_test.exe)" -q
cmp product_test.exe again/product_test.exe || fail "the written-back script gives other bytes"

# version_of FILE EXPECTED: the version resource as version_reader prints it.
version_of() {
  wine "$reader" "$(win_path "$1")" | tr -d '\r' > "$work/version.txt" || fail "no version information in $1"
  printf '%s\n' "$2" | diff - "$work/version.txt" >&2 || fail "the version information of $1 differs"
}
given='fixed=2.5.1.7 product=2.5.1.7
CompanyName=Tidewater Charts
FileDescription=Ferry Product Test 2.5
FileVersion=2.5.1.7 beta
ProductName=Ferry Product
ProductVersion=2.5.1.7 beta'
version_of product_test.exe "$given"
version_of plain_test.exe 'fixed=0.0.0.0 product=0.0.0.0
CompanyName=
FileDescription=Ferry Product Test 2.5
FileVersion=0.0.0.0
ProductName=Ferry Product
ProductVersion=0.0.0.0'

# The demo setup says what it is too.
ferryc compile "$(tool_path "$src/examples/demo/demo.fss")" --stub "$(tool_path "$stub")" -o "$(tool_path demo.exe)" -q
version_of demo.exe 'fixed=1.2.0.0 product=1.2.0.0
CompanyName=Tidewater Charts
FileDescription=Tidewater Atlas 1.2 Patch
FileVersion=1.2
ProductName=Tidewater Atlas
ProductVersion=1.2'

regkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Product'
value_of() { wine reg query "$regkey" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^    $1    REG_SZ    //p"; }
inst="$drive_c/Ferry Product"
wine "$work/setup/product_test.exe" /S '/D=C:\Ferry Product' 2> "$work/install.err" > /dev/null ||
  { cat "$work/install.err" >&2; fail "the install failed"; }
[ "$(value_of DisplayVersion)" = '2.5.1.7 beta' ] || fail "DisplayVersion '$(value_of DisplayVersion)'"
[ "$(value_of Publisher)" = 'Tidewater Charts' ] || fail "Publisher '$(value_of Publisher)'"
[ "$(value_of URLInfoAbout)" = 'https://example.invalid/atlas' ] || fail "URLInfoAbout '$(value_of URLInfoAbout)'"
# The uninstaller got its icon through a resource update: its version stays.
version_of "$inst/FPT_Uninstall.exe" "$given"

wine "$work/setup/plain_test.exe" /S '/D=C:\Ferry Product' 2> "$work/plain.err" > /dev/null ||
  { cat "$work/plain.err" >&2; fail "the second install failed"; }
[ "$(value_of DisplayName)" = 'Ferry Product' ] || fail "DisplayName '$(value_of DisplayName)'"
for v in DisplayVersion Publisher URLInfoAbout; do
  wine reg query "$regkey" /v "$v" > /dev/null 2>&1 && fail "$v stayed from the earlier install"
done

wine "$inst/FPT_Uninstall.exe" /S 2> "$work/uninstall.err" > /dev/null ||
  { cat "$work/uninstall.err" >&2; fail "the uninstall failed"; }
wine reg query "$regkey" > /dev/null 2>&1 && fail "the registration stayed"

# ---- versions -------------------------------------------------------------------
# Setups of 1.0, 1.1 and a patch to 1.2 for 1.1, run in turn: each row is
# SETUP SWITCH EXIT-CODE REGISTERED-AFTER MESSAGE ("-": none). A refused run
# writes nothing: the registered version stays. Wine hands on the exit
# code's low byte: 1638 is 102, 1642 is 106.
for v in 1.0 1.1; do
  { printf '%s\n' "$head" "@version $v"; printf '%s\n' "$tail"; } | sed "s/^outfile .*/outfile v$v.exe/" > "v$v.fss"
  ferryc compile "v$v.fss" --stub "$(tool_path "$stub")" -o "v$v.exe" -q
done
{ printf '%s\n' "$head" '@version 1.2' 'patchfor 1.1'; printf '%s\n' "$tail"; } |
  sed 's/^outfile .*/outfile patch.exe/' > patch.fss
ferryc compile patch.fss --stub "$(tool_path "$stub")" -o patch.exe -q
version_case() {  # setup switch code registered message
  local rc
  set +e
  if [ "$2" = - ]; then wine "$work/setup/$1" /S '/D=C:\Ferry Product' 2> "$work/case.err" > /dev/null
  else wine "$work/setup/$1" /S "$2" '/D=C:\Ferry Product' 2> "$work/case.err" > /dev/null; fi
  rc=$?
  set -e
  [ "$rc" = "$3" ] || { cat "$work/case.err" >&2; fail "$1 $2: exit code $rc, expected $3"; }
  [ "$(value_of DisplayVersion)" = "$4" ] || fail "$1 $2: DisplayVersion '$(value_of DisplayVersion)', expected '$4'"
  [ "$5" = - ] || expect_text "$work/case.err" "$5"
  [ -n "$4" ] || [ ! -e "$inst/tides.tbl" ] || fail "$1 $2: refused with nothing installed, but wrote its files"
}
while read -r setup switch code registered message <&3; do
  version_case "$setup" "$switch" "$code" "${registered#-}" "$message"
done 3<<'CASES'
patch.exe - 106 - This patch is for "Ferry Product" version 1.1, which is not installed.
v1.1.exe - 0 1.1 -
patch.exe - 0 1.2 -
patch.exe - 106 1.2 This patch is for "Ferry Product" version 1.1; version 1.2 is installed.
v1.1.exe - 102 1.2 "Ferry Product" version 1.2 is installed, newer than this setup's version 1.1; start the setup with /ALLOWDOWNGRADE to replace it.
v1.0.exe /ALLOWDOWNGRADE 0 1.0 -
patch.exe - 106 1.0 This patch is for "Ferry Product" version 1.1; version 1.0 is installed.
CASES
wine "$inst/FPT_Uninstall.exe" /S 2> "$work/uninstall2.err" > /dev/null ||
  { cat "$work/uninstall2.err" >&2; fail "the uninstall after the version cases failed"; }
echo "e2e product information: all checks passed"
