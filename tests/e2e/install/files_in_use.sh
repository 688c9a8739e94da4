#!/usr/bin/env bash
# files_in_use.sh STUB FERRYC HOLD_FILE GUI_DRIVER SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A patch of two files over an installed product while a running program
# (HOLD_FILE) holds one of them open without sharing:
#   default     silent: exit 1 before any change, the file named on a
#               "Problem:" line; the product byte for byte as before;
#   /RESTARTOK  exit 3010: the free file is patched, the held one is set to
#               be replaced at the next restart (PendingFileRenameOperations)
#               and the install log names it; `wineboot -r` puts it in place;
#   wizard      a setup with `replaceatrestart`, clicked through by
#               GUI_DRIVER under Xvfb: the box names the file and offers
#               Continue, which ends as /RESTARTOK does (exit 3010).
set -euo pipefail
stub=$1 ferryc_exe=$2 holder=$3 driver=$4 src=$5 work=$6

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
mkdir -p "$work/setup/Files/data"
cd "$work/setup"
printf 'release 2' > Files/readme.txt
printf 'data 2' > Files/data/a.dat
test_setup "$src" "Ferry Held Test" held_test.exe FHT > held.fss
printf 'file Files\\\n' >> held.fss
ferryc compile held.fss --stub "$(tool_path "$stub")" -o held_test.exe -q
mkdir -p "$work/asked" && cp -r layouts languages images Changelog.rtf Files "$work/asked/"
sed 's/^prefix FHT$/&\nreplaceatrestart/' held.fss > "$work/asked/held.fss"
(cd "$work/asked" && ferryc compile held.fss --stub "$(tool_path "$stub")" -o held_test.exe -q)

product=$drive_c/FerryE2E/held
mkdir -p "$product/data"
printf 'release 1' > "$product/readme.txt"
printf 'data 1' > "$product/data/a.dat"
snapshot() { (cd "$product" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
snapshot > "$work/before.sums"

# The holder keeps readme.txt open until the stop file appears.
rm -f "$drive_c/ready" "$drive_c/stop"
wine "$holder" 'C:\FerryE2E\held\readme.txt' 'C:\ready' 'C:\stop' & holder_pid=$!
for _ in $(seq 300); do [ -e "$drive_c/ready" ] && break; sleep 0.1; done
[ -e "$drive_c/ready" ] || fail "the holder did not start"

run_patch() {  # name [switch]: exit code in $rc, standard error in $work/<name>.err
  set +e
  wine "$work/setup/held_test.exe" /S ${2:-} '/D=C:\FerryE2E\held' 2> "$work/$1.err" > /dev/null
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/$1.err"
}

# ---- default: nothing changes ------------------------------------------------
run_patch default
[ "$rc" = 1 ] || { cat "$work/default.err" >&2; fail "default: exit code $rc"; }
expect_text "$work/default.err" 'Problem: Cannot write C:\FerryE2E\held\readme.txt: it is in use by another program'
expect_text "$work/default.err" 'Setup failed'
snapshot > "$work/after.sums"
diff "$work/before.sums" "$work/after.sums" >&2 || fail "default: the product changed"
[ -z "$(ls -A "$product" | grep -v '^readme.txt$\|^data$')" ] || fail "default: left $(ls -A "$product")"

# ---- /RESTARTOK: the held file at the next restart ---------------------------
run_patch restartok /RESTARTOK
# 3010; Wine hands a Unix parent its low byte, 194.
[ "$rc" = 194 ] || { cat "$work/restartok.err" >&2; fail "/RESTARTOK: exit code $rc"; }
expect_text "$work/restartok.err" 'Problem: C:\FerryE2E\held\readme.txt is replaced at the next restart'
expect_text "$work/restartok.err" 'a restart is needed to complete it'
[ "$(cat "$product/data/a.dat")" = 'data 2' ] || fail "/RESTARTOK: the free file was not patched"
[ "$(cat "$product/readme.txt")" = 'release 1' ] || fail "/RESTARTOK: the held file changed"
[ "$(cat "$product/~ferry-next-readme.txt")" = 'release 2' ] || fail "/RESTARTOK: no waiting copy"
ferryc log "$(tool_path "$product/FHT_install.log")" | sed 's/\r$//' > "$work/restartok.log"
grep -qxF 'file $INSTDIR\readme.txt' "$work/restartok.log" || { cat "$work/restartok.log" >&2; fail "the install log lacks readme.txt"; }
wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
  | tr -d '\r' > "$work/pending.txt" || true
grep -qiF 'held\~ferry-next-readme.txt' "$work/pending.txt" && grep -qiF 'held\readme.txt' "$work/pending.txt" ||
  { cat "$work/pending.txt" >&2; fail "no pending rename in the registry"; }

touch "$drive_c/stop"
wait "$holder_pid" || fail "the holder ended with an error"
wineboot -r > /dev/null 2>&1
[ "$(cat "$product/readme.txt")" = 'release 2' ] || fail "after the restart: readme.txt holds '$(cat "$product/readme.txt")'"
[ ! -e "$product/~ferry-next-readme.txt" ] || fail "after the restart: the waiting copy stayed"
# ---- wizard: Continue in the box ---------------------------------------------
printf 'release 1' > "$product/readme.txt"
printf 'data 1' > "$product/data/a.dat"
rm -f "$drive_c/ready" "$drive_c/stop"
wine "$holder" 'C:\FerryE2E\held\readme.txt' 'C:\ready' 'C:\stop' & holder_pid=$!
for _ in $(seq 300); do [ -e "$drive_c/ready" ] && break; sleep 0.1; done
[ -e "$drive_c/ready" ] || fail "the holder did not start again"
wine "$driver" held "$(win_path "$work/asked/held_test.exe")" '/D=C:\FerryE2E\held' 'C:\FerryE2E\held\readme.txt' \
  > "$work/wizard.out" 2>&1 || { cat "$work/wizard.out" >&2; fail "wizard: the driver's checks failed"; }
grep -qx 'exit 3010' <(tr -d '\r' < "$work/wizard.out") || { cat "$work/wizard.out" >&2; fail "wizard: exit code not 3010"; }
[ "$(cat "$product/data/a.dat")" = 'data 2' ] || fail "wizard: the free file was not patched"
[ "$(cat "$product/~ferry-next-readme.txt")" = 'release 2' ] || fail "wizard: no waiting copy"
touch "$drive_c/stop"
wait "$holder_pid" || fail "the holder ended with an error"
echo "e2e files in use: all checks passed"
