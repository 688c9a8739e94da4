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
# Then each product archive damaged before the run, refused before anything
# is written (exit code 1, the archive named on standard error and in the
# log, "Every change of the run was undone", the archive byte for byte as it
# was):
#   rkp-cut     a package cut short (its tail gone);
#   rkp-entry   a package entry whose stored bytes no longer match its
#               stream's checksum (header and directory sound);
#   vfs-cut     a VFS archive cut short inside its last block;
#   vfs-entry   a VFS archive whose file bytes no longer match its digest.
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

mkdir -p Vfs/charts
printf 'harbour chart' > Vfs/charts/harbour.map
test_setup "$src" "Ferry Archive Test" vfs_test.exe FVT > vfs.fss
cat >> vfs.fss <<'SCRIPT'
sidebyside
vfsupdate Vfs\ maps.vfs
SCRIPT

use_ferryc "$ferryc_exe"
ferryc compile rkp.fss --stub "$(tool_path "$stub")" -o rkp_test.exe -q
ferryc compile vfs.fss --stub "$(tool_path "$stub")" -o vfs_test.exe -q
test -s rkp_test.exe
test -s vfs_test.exe

make_package() {  # name password: C:\FerryE2E\<name>\data.rkp, an empty package
  mkdir -p "$drive_c/FerryE2E/$1"
  ferryc rkp create "$(tool_path "$drive_c/FerryE2E/$1/data.rkp")" --password "$2" > /dev/null
}

run_setup() {  # name [setup]: installs to C:\FerryE2E\<name>, output in $work/<name>.err and
               # C:\FerryE2E\<name>.log, exit code in $rc
  set +e
  timeout 120 wine "$work/setup/${2:-rkp_test.exe}" /S "/LOG=C:\\FerryE2E\\$1.log" "/D=C:\\FerryE2E\\$1" \
    2> "$work/$1.err" > /dev/null
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

# ---- archives damaged before the run ----------------------------------------------
# refused NAME ARCHIVE TEXT: exit code 1, TEXT on standard error and in the
# log, the run undone, ARCHIVE (and its .ht file) as saved in $work/NAME.before*.
refused() {
  [ "$rc" = 1 ] || { cat "$work/$1.err" >&2; fail "$1: exit code $rc"; }
  expect_text "$work/$1.err" "$3"
  expect_text "$work/$1.err" 'Every change of the run was undone'
  sed 's/\r$//' "$drive_c/FerryE2E/$1.log" > "$work/$1.log"
  expect_text "$work/$1.log" "$3"
  not_finished "$1"
  cmp -s "$2" "$work/$1.before" || fail "$1: the archive was changed"
  if [ -e "$work/$1.before.ht" ]; then cmp -s "${2%.vfs}.ht" "$work/$1.before.ht" || fail "$1: the .ht file was changed"; fi
  [ ! -e "$drive_c/FerryE2E/$1/FPT_Uninstall.exe" ] && [ ! -e "$drive_c/FerryE2E/$1/FVT_Uninstall.exe" ] ||
    fail "$1: the undone run left its uninstaller"
}

flip_byte() {  # file offset: inverts one byte
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\$(printf '%03o' $((byte ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

mkdir -p "$work/content"
head -c 4000 /dev/urandom | od -An -tx1 > "$work/content/old.map"  # text that stays text
for name in rkp-cut rkp-entry; do
  make_package "$name" Sesame
  ferryc rkp add "$(tool_path "$drive_c/FerryE2E/$name/data.rkp")" "$(tool_path "$work/content")" \
    --password Sesame > /dev/null
done
pkg="$drive_c/FerryE2E/rkp-cut/data.rkp"
truncate -s $(($(stat -c %s "$pkg") - 30)) "$pkg"
cp "$pkg" "$work/rkp-cut.before"
run_setup rkp-cut
refused rkp-cut "$pkg" 'File C:\FerryE2E\rkp-cut\data.rkp has corrupted header.'

pkg="$drive_c/FerryE2E/rkp-entry/data.rkp"
flip_byte "$pkg" 40  # inside old.map's stored bytes, the package's first data
ferryc rkp ls "$(tool_path "$pkg")" > /dev/null || fail "rkp-entry: the damage reached the directory"
cp "$pkg" "$work/rkp-entry.before"
run_setup rkp-entry
refused rkp-entry "$pkg" 'The package archive C:\FerryE2E\rkp-entry\data.rkp is damaged (entry old.map its zlib stream'

for name in vfs-cut vfs-entry; do
  mkdir -p "$drive_c/FerryE2E/$name"
  archive="$drive_c/FerryE2E/$name/maps.vfs"
  ferryc vfs create "$(tool_path "$archive")" --side-file > /dev/null
  ferryc vfs add "$(tool_path "$archive")" "charts\old.map=$(tool_path "$work/content/old.map")" > /dev/null
  ferryc vfs check "$(tool_path "$archive")" > /dev/null || fail "$name: the archive was not sound to begin with"
done
archive="$drive_c/FerryE2E/vfs-cut/maps.vfs"
truncate -s $(($(stat -c %s "$archive") - 100)) "$archive"
cp "$archive" "$work/vfs-cut.before"
cp "${archive%.vfs}.ht" "$work/vfs-cut.before.ht"
run_setup vfs-cut vfs_test.exe
refused vfs-cut "$archive" 'The VFS archive C:\FerryE2E\vfs-cut\maps.vfs is damaged ('

archive="$drive_c/FerryE2E/vfs-entry/maps.vfs"
flip_byte "$archive" $(($(stat -c %s "$archive") - 1))  # the last byte of old.map's data
cp "$archive" "$work/vfs-entry.before"
cp "${archive%.vfs}.ht" "$work/vfs-entry.before.ht"
run_setup vfs-entry vfs_test.exe
refused vfs-entry "$archive" 'The VFS archive C:\FerryE2E\vfs-entry\maps.vfs is damaged (Digest does not match'

echo "e2e rkp silent: all checks passed"
