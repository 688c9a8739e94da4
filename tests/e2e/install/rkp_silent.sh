#!/usr/bin/env bash
# rkp_silent.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A setup whose "rkpupdate" line updates data.rkp in the install folder, run
# silently (/S) in a fresh Wine prefix, once per state of the package:
#   ok        a sound package: exit code 0, the entry in the package;
#   missing   no package: the Retry/Cancel box is answered Cancel, which in a
#             silent run is a failure naming the package: exit code 1;
#   damaged   a package whose header is damaged: the fatal text on standard
#             error instead of a box nobody can close, exit code 1, the
#             package untouched;
#   password  a package with another password: the same.
# Every run must end on its own: a run still going after two minutes has hung.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"

cd "$work/setup"
mkdir -p Pak/maps
printf 'coast map' > Pak/maps/coast.map

test_setup "$src" "Ferry Package Test" rkp_test.exe FPT > rkp.fss
cat >> rkp.fss <<'SCRIPT'
; Each case installs into a folder of its own.
sidebyside
rkpupdate Pak\ Sesame data.rkp
SCRIPT

use_ferryc "$ferryc_exe"
ferryc compile rkp.fss --stub "$(tool_path "$stub")" -o rkp_test.exe -q
test -s rkp_test.exe

make_package() {  # name password: C:\FerryE2E\<name>\data.rkp, an empty package
  mkdir -p "$drive_c/FerryE2E/$1"
  ferryc rkp create "$(tool_path "$drive_c/FerryE2E/$1/data.rkp")" --password "$2" > /dev/null
}

run_setup() {  # name: installs to C:\FerryE2E\<name>, output in $work/<name>.err, exit code in $rc
  set +e
  timeout 120 wine "$work/setup/rkp_test.exe" /S "/D=C:\\FerryE2E\\$1" 2> "$work/$1.err" > /dev/null
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/$1.err"
  [ "$rc" != 124 ] || { cat "$work/$1.err" >&2; fail "$1: the run hung"; }
}

not_finished() {  # name
  if grep -q 'Setup finished' "$work/$1.err"; then cat "$work/$1.err" >&2; fail "$1: reported as finished"; fi
}

# ---- ok -----------------------------------------------------------------------
make_package ok Sesame
run_setup ok
[ "$rc" = 0 ] || { cat "$work/ok.err" >&2; fail "ok: exit code $rc"; }
ferryc rkp ls "$(tool_path "$drive_c/FerryE2E/ok/data.rkp")" | sed 's/\r$//' > "$work/ok.ls"
expect_text "$work/ok.ls" 'maps\coast.map'

# ---- missing ------------------------------------------------------------------
mkdir -p "$drive_c/FerryE2E/missing"
run_setup missing
[ "$rc" = 1 ] || { cat "$work/missing.err" >&2; fail "missing: exit code $rc"; }
# The package path is the install folder ("C:\FerryE2E\missing\") and the
# package file, one backslash between.
expect_text "$work/missing.err" 'Error: File not found: "C:\FerryE2E\missing\data.rkp".'
expect_text "$work/missing.err" '(answered Cancel)'
expect_text "$work/missing.err" 'Fatal Application Exit: Cannot open the package "C:\FerryE2E\missing\data.rkp": the setup stops.'
expect_text "$work/missing.err" 'Every change of the run was undone'
not_finished missing

# ---- damaged ------------------------------------------------------------------
make_package damaged Sesame
pkg="$drive_c/FerryE2E/damaged/data.rkp"
# The header's format version: the header begins 21 + 20 bytes before the end
# ("Sesame" makes a trailer of 6 + 4 + 2 + 2 + 6 + 1 bytes); the version is
# 8 bytes into it.
size=$(stat -c %s "$pkg")
printf '\x04' | dd of="$pkg" bs=1 seek=$((size - 21 - 20 + 8)) conv=notrunc status=none
cp "$pkg" "$work/damaged.before"
run_setup damaged
[ "$rc" = 1 ] || { cat "$work/damaged.err" >&2; fail "damaged: exit code $rc"; }
expect_text "$work/damaged.err" 'Fatal Application Exit: File C:\FerryE2E\damaged\data.rkp has corrupted header.'
not_finished damaged
cmp -s "$pkg" "$work/damaged.before" || fail "damaged: the package was changed"

# ---- password -----------------------------------------------------------------
make_package password Other
cp "$drive_c/FerryE2E/password/data.rkp" "$work/password.before"
run_setup password
[ "$rc" = 1 ] || { cat "$work/password.err" >&2; fail "password: exit code $rc"; }
expect_text "$work/password.err" 'Fatal Application Exit: Error Incorrect Password'
expect_text "$work/password.err" 'File: data.rkp'
not_finished password
cmp -s "$drive_c/FerryE2E/password/data.rkp" "$work/password.before" || fail "password: the package was changed"

echo "e2e rkp silent: all checks passed"
