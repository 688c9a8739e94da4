#!/usr/bin/env bash
# unprivileged.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# The demo patch run by a user without root's rights, whose Wine cannot
# write through what the user may not write (as root's Wine can):
#   read-only  Tidewater Atlas 1.1 with readme.txt read-only: the patch
#              installs (exit 0, readme.txt is 1.2's) and its uninstaller
#              ends with exit 0;
#   refused    the same product in a folder the user may not write (root
#              takes it over between the two phases): exit 1 before any
#              change, the folder named, the product as before.
# Started as root, it makes the user ferry-e2e and runs each phase as that
# user; without root or useradd it is skipped (77).
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4
user=ferry-e2e
source "$src/tests/e2e/e2e_common.sh"

if [ "$(id -u)" = 0 ]; then
  id "$user" > /dev/null 2>&1 || useradd -M -d /nonexistent "$user" 2> /dev/null ||
    { echo "cannot make the user $user: skipped"; exit 77; }
  rm -rf "$work" && mkdir -p "$work/home" && chown -R "$user" "$work"
  # A checkout the user cannot reach (below root's home, say) cannot be tried.
  runuser -u "$user" -- sh -c 'test -r "$1" && test -x "$2" && test -r "$3" && test -w "$4"' _ \
    "$stub" "$src/examples/demo/product-1.1/install" "$src/tests/e2e/e2e_common.sh" "$work" ||
    { echo "the user $user cannot reach the build or the sources: skipped"; exit 77; }
  as_user() { runuser -u "$user" -- env HOME="$work/home" PATH="$PATH" PHASE="$1" "$0" "$stub" "$ferryc_exe" "$src" "$work"; }
  as_user read-only
  locked=$work/u/prefix/drive_c/Locked
  chown -R root:root "$locked" && chmod -R go-w "$locked"
  as_user refused
  exit 0
fi

[ "$(id -u)" != 0 ] || fail "still root"
use_ferryc "$ferryc_exe"
setup=$work/u/tidewater_patch.exe
run() {  # name args...: exit code in $rc, standard error in $work/u/<name>.err
  local name=$1
  shift
  set +e
  wine "$@" > "$work/u/$name.out" 2> "$work/u/$name.err"
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/u/$name.err"
}
snapshot() { (cd "$drive_c/Locked" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

case "${PHASE:-}" in
  read-only)
    fresh_prefix "$work/u"
    cp -r "$src/examples/demo" "$work/u/demo"
    ferryc compile "$(tool_path "$work/u/demo/demo.fss")" --stub "$(tool_path "$stub")" -o "$(tool_path "$setup")" -q \
      --base "$(tool_path "$work/u/demo/product-1.1/files")"
    for folder in Atlas Locked; do "$src/examples/demo/product-1.1/install" "$drive_c/$folder" "$ferryc_exe" > /dev/null; done
    chmod a-w "$drive_c/Atlas/readme.txt"
    run patch "$setup" /S '/D=C:\Atlas'
    [ "$rc" = 0 ] || { cat "$work/u/patch.err" >&2; fail "read-only: exit code $rc"; }
    cmp "$work/u/demo/Files/readme.txt" "$drive_c/Atlas/readme.txt" || fail "read-only: readme.txt is not 1.2's"
    run uninstall "$drive_c/Atlas/Tidewater_Uninstall.exe" /S
    [ "$rc" = 0 ] || { cat "$work/u/uninstall.err" >&2; fail "uninstall: exit code $rc"; }
    snapshot > "$work/u/before.sums"
    ;;
  refused)
    export WINEPREFIX=$work/u/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    drive_c=$WINEPREFIX/drive_c
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    run refused "$setup" /S '/D=C:\Locked'
    [ "$rc" = 1 ] || { cat "$work/u/refused.err" >&2; fail "refused: exit code $rc"; }
    expect_text "$work/u/refused.err" 'C:\Locked\ cannot be written (no right to write there'
    snapshot | diff "$work/u/before.sums" - >&2 || fail "refused: the product changed"
    echo "unprivileged: a read-only file patched and removed, a folder the user may not write refused unchanged"
    ;;
  *) fail "unknown phase '${PHASE:-}'" ;;
esac
