#!/usr/bin/env bash
# old_format.sh STUB SOURCE_DIR WORK_DIR
#
# fixtures/old_format.exe.xz: a setup compiled (fixtures/old_format.fss)
# before uninstallers could be carried signed; its uninstaller holds the
# install's setup information in its own archive.
#   own       the uninstaller it writes removes the product, itself and
#             its folder;
#   new stub  today's stub, given that uninstaller's archive, reads the
#             record there (no side file) and removes the payload.
set -euo pipefail
stub=$1 src=$2 work=$3

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
xz -dc "$src/tests/e2e/uninstall/fixtures/old_format.exe.xz" > "$work/old_format.exe"
inst="$drive_c/FerryOld"

install_old() {
  local rc
  set +e
  wine "$work/old_format.exe" /S '/D=C:\FerryOld\' 2> "$work/install.err" > /dev/null
  rc=$?
  set -e
  [ "$rc" = 0 ] || { tr -d '\r' < "$work/install.err" >&2; fail "the old setup's install ended with exit code $rc"; }
  [ -f "$inst/readme.txt" ] && [ -f "$inst/FOF_Uninstall.exe" ] || { ls -la "$inst" >&2; fail "the old setup installed nothing"; }
  [ ! -e "$inst/FOF_Uninstall.dat" ] || fail "the old setup wrote a side file"
}

uninstall_with() {  # what program [archive]
  local what=$1 rc
  shift
  set +e
  wine "$@" /S 2> "$work/$what.err" > /dev/null
  rc=$?
  set -e
  tr -d '\r' < "$work/$what.err" > "$work/$what.txt"
  [ "$rc" = 0 ] || { cat "$work/$what.txt" >&2; fail "$what: the uninstall ended with exit code $rc"; }
  expect_text "$work/$what.txt" 'Uninstall finished: "Ferry Old Format" was removed.'
}

install_old
uninstall_with own "$inst/FOF_Uninstall.exe"
for _ in $(seq 1 60); do
  [ -e "$inst" ] || break
  sleep 0.5
done
[ ! -e "$inst" ] || { find "$inst" >&2; fail "own: the install folder is still there"; }

install_old
cp "$inst/FOF_Uninstall.exe" "$work/old-uninstaller.exe"
uninstall_with new-stub "$(win_path "$stub")" "$(win_path "$work/old-uninstaller.exe")"
for f in readme.txt data.txt; do
  [ ! -e "$inst/$f" ] || fail "new stub: $f is still there"
done
! ls "$inst"/*install.log 2> /dev/null || fail "new stub: the install log is still there"
echo "old format: all checks passed"
