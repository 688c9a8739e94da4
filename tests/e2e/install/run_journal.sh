#!/usr/bin/env bash
# run_journal.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
# STUB: setup-stub-faults.exe, which FERRY_TEST_STOP_AFTER_RECORDS stops.
#
# The demo patch (files replaced, added, moved and removed, three of them as
# deltas against 1.1, a package and a VFS update, registry values, links),
# with one large entry added, over
# Tidewater Atlas 1.1, whose readme.txt is read-only:
#   killed   the run is stopped dead after N journal records, for N spread
#            over the whole run, and within the write of a new file (at its
#            own name, left partial); the next start undoes it, and the
#            product folder and the registry are byte for byte as before;
#   whole    then the patch runs to its end: the tree equals a clean run's,
#            and its uninstall ends with exit code 0;
#   twice    two copies started at once into the folder, 10 rounds: one
#            works, the other stops with exit code 3 and says why;
#   removable the demo whole, stopped at its first and last records over
#            the installed product and a third of the way into an empty
#            folder (there, and within the new file written next): the
#            uninstaller the stopped run left removes it all.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
setup=$work/tidewater_patch.exe
cp -r "$src/examples/demo" "$work/demo"
mkdir -p "$work/demo/Big"
# 71 MiB: above the size from which entries are stored raw and copied in chunks.
head -c $((71 * 1024 * 1024)) /dev/urandom > "$work/demo/Big/survey.bin"
sed -i 's/^file Extras\\ extras\r\?$/&\nfile Big\\ big/' "$work/demo/demo.fss"
grep -q '^file Big' "$work/demo/demo.fss" || fail "the large entry was not added to the script"
ferryc compile "$(tool_path "$work/demo/demo.fss")" --stub "$(tool_path "$stub")" -o "$(tool_path "$setup")" -q \
  --base "$(tool_path "$work/demo/product-1.1/files")"
[ "$(ferryc list "$(tool_path "$setup")" | tr -d '\r' | awk '$3 == "delta"' | wc -l)" -ge 3 ] || fail "the patch carries no deltas"

product=$drive_c/Atlas
clean=$drive_c/Clean
"$src/examples/demo/product-1.1/install" "$product" "$ferryc_exe" >/dev/null
"$src/examples/demo/product-1.1/install" "$clean" "$ferryc_exe" >/dev/null
chmod a-w "$product/readme.txt" "$clean/readme.txt"

# The folder's files with their contents and read-only marks, and the
# registry keys the patch writes, as one text.
state() {  # folder
  (cd "$1" && find . -type f ! -name '~ferry-run.journal' -printf '%p %m\n' | sort && \
     find . -type f ! -name '~ferry-run.journal' -print0 | sort -z | xargs -0 sha256sum && \
     find . -type d | sort)
  # Values only: a key that a read made (and an undone run left empty) is no change.
  wine reg query 'HKCU\Software\Tidewater Atlas' /s 2>/dev/null | tr -d '\r' | grep REG_ | sort || true
  wine reg query 'HKLM\Software\Tidewater Atlas' /s 2>/dev/null | tr -d '\r' | grep REG_ | sort || true
}
patch() {  # folder-name log-name [stop-after [1: within the next new file's write]]
  set +e
  FERRY_TEST_STOP_AFTER_RECORDS=${3:-} FERRY_TEST_STOP_IN_FILE=${4:-} timeout 300 wine "$setup" /S "/D=C:\\$1" >"$work/$2.out" 2>"$work/$2.err"
  rc=$?
  set -e
}

# What start-up itself leaves (the install-path key it reads) is there first.
patch Atlas warm 1
state "$product" > "$work/before.txt"

# Stopped within the write of a new file: it is there under its own name,
# and the next start removes it with the rest of the run.
in_file=0
for n in 10 25; do
  patch Atlas "in-file$n" "$n" 1
  [ "$rc" = 99 ] || { cat "$work/in-file$n.err" >&2; fail "in a file after $n: exit code $rc, expected 99"; }
  partial=$(tr -d '\r' < "$work/in-file$n.err" | sed -n 's/^stopped writing C:\\//p' | tr '\\' /)
  [ -n "$partial" ] || { cat "$work/in-file$n.err" >&2; fail "in a file after $n: the stop did not name the file"; }
  [ -f "$drive_c/$partial" ] || fail "in a file after $n: $partial is not at its own name"
  patch Atlas "in-file-recover$n" 1
  grep -q 'did not finish; its [0-9]* changes were undone' "$work/in-file-recover$n.err" ||
    { cat "$work/in-file-recover$n.err" >&2; fail "in a file after $n: the next start did not undo the run"; }
  state "$product" > "$work/in-file-after$n.txt"
  diff "$work/before.txt" "$work/in-file-after$n.txt" >&2 || fail "in a file after $n: the product is not as it was"
  in_file=$((in_file + 1))
done
echo "run journal: $in_file stops within a new file's write, the product as it was after each"

# ---- killed ---------------------------------------------------------------------
kills=0 whole=
for n in 1 3 5 8 11 14 17 20 24 28 32 36 40 44 48 52 56 60 65 70 80 90 100 120 150; do
  patch Atlas "kill$n" "$n"
  if [ "$rc" = 0 ]; then whole=kill$n; break; fi  # the run has fewer records: it ran whole
  [ "$rc" = 99 ] || { cat "$work/kill$n.err" >&2; fail "killed at $n: exit code $rc, expected 99"; }
  [ -f "$product/~ferry-run.journal" ] || fail "killed at $n: no journal left"
  kills=$((kills + 1))
  # The next start undoes it before its own run's first change (stopped there).
  patch Atlas "recover$n" 1
  # Stopped once its work was done (while deleting what it had set aside):
  # the next start finishes that clean-up, and the product is patched.
  if grep -q 'had finished; its clean-up was completed' "$work/recover$n.err"; then whole=committed; break; fi
  grep -q 'did not finish; its [0-9]* changes were undone' "$work/recover$n.err" ||
    { cat "$work/recover$n.err" >&2; fail "killed at $n: the next start did not say it undid the run"; }
  state "$product" > "$work/after$n.txt"
  diff "$work/before.txt" "$work/after$n.txt" >&2 || fail "killed at $n: the product is not as it was"
done
[ "$kills" -ge 10 ] || fail "only $kills kill points fell inside the run"
echo "run journal: $kills kill points, the product as it was after each (then: $whole)"

# ---- whole ----------------------------------------------------------------------
# (After a stop in the clean-up the product is patched already: this runs it again.)
[ -n "$whole" ] && [ "$whole" != committed ] || { patch Atlas whole; whole=whole; }
[ "$rc" = 0 ] || { cat "$work/$whole.err" >&2; fail "the full patch after the kills: exit code $rc"; }
grep -q 'did not finish' "$work/$whole.err" || fail "the full patch did not undo the last stopped run first"
[ ! -e "$product/~ferry-run.journal" ] || fail "the journal stayed after a finished run"
if find "$product" -name '~ferry-*' | grep -q .; then fail "scratch files stayed: $(find "$product" -name '~ferry-*')"; fi
# One product is installed in one folder: the registration points at the
# clean copy for its run, and back at the product after it.
regkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewater Atlas'
point_registration() { wine reg add "$regkey" /v InstallLocation /d "C:\\$1" /f >/dev/null; }
point_registration Clean
patch Clean clean
[ "$rc" = 0 ] || { cat "$work/clean.err" >&2; fail "the clean patch: exit code $rc"; }
point_registration Atlas
# The package's key parameters are drawn anew at each write: its listing counts.
tree() {  # folder
  (cd "$1" && find . -type f ! -name '*.exe' ! -name '*_install.log' ! -name data.rkp -print0 | sort -z | xargs -0 sha256sum)
  ferryc rkp ls "$(tool_path "$1/data.rkp")" | tr -d '\r' | grep -v '^trailer:'
}
tree "$product" > "$work/tree.txt"
tree "$clean" > "$work/tree.clean.txt"
diff "$work/tree.clean.txt" "$work/tree.txt" >&2 || fail "the patched tree differs from a clean run's"

# ---- twice ----------------------------------------------------------------------
for round in 1 2 3 4 5 6 7 8 9 10; do
  set +e
  wine "$setup" /S '/D=C:\Atlas' >"$work/a$round.out" 2>"$work/a$round.err" & a=$!
  wine "$setup" /S '/D=C:\Atlas' >"$work/b$round.out" 2>"$work/b$round.err" & b=$!
  wait $a; rca=$?
  wait $b; rcb=$?
  set -e
  codes=$(printf '%s\n' "$rca" "$rcb" | sort -n | tr '\n' ' ')
  # The loser ends with 1618; Wine hands a Unix parent its low byte, 82.
  [ "$codes" = "0 82 " ] || { cat "$work/a$round.err" "$work/b$round.err" >&2; fail "round $round: exit codes $rca and $rcb"; }
  loser=$work/a$round.err; [ "$rca" = 82 ] || loser=$work/b$round.err
  grep -qF 'Another setup is working in C:\Atlas ; try again when it has finished' "$loser" ||
    { cat "$loser" >&2; fail "round $round: the second copy did not say why it stopped"; }
done
echo "run journal: 10 rounds of two copies, one worked each time"

set +e
wine "$product/Tidewater_Uninstall.exe" /S >"$work/uninstall.out" 2>"$work/uninstall.err"
rc=$?
set -e
[ "$rc" = 0 ] || { cat "$work/uninstall.err" >&2; fail "the uninstall: exit code $rc"; }

# ---- removable ------------------------------------------------------------------
# The demo whole (no deltas) in C:\Fresh. Its count run gives the records of a
# fresh install and of a run over the installed product. Over the product, a
# run stopped at its first records (its uninstaller being written) or at its
# last ones, then the uninstaller the stopped run left: it starts, ends with
# exit code 0 and leaves what uninstalling the product leaves (no folder, no
# registration, the registry as before the product). A fresh install stopped
# a third of the way: its registration says not finished, and its
# uninstaller leaves the same.
# (Stopped at N: the record was noted, its change not made.)
mkdir -p "$work/whole"
whole_setup=$work/whole/tidewater_patch.exe
ferryc compile "$(tool_path "$src/examples/demo/demo.fss")" --stub "$(tool_path "$stub")" \
  -o "$(tool_path "$whole_setup")" -q
fresh=$drive_c/Fresh
values() {
  wine reg query 'HKLM\Software\Tidewater Atlas' /s 2>/dev/null | tr -d '\r' | grep REG_ | sort || true
  wine reg query 'HKCU\Software\Tidewater Atlas' /s 2>/dev/null | tr -d '\r' | grep REG_ | sort || true
}
whole() {  # log-name [stop-after [1: within the next new file's write]]
  set +e
  FERRY_TEST_STOP_AFTER_RECORDS=${2:-} FERRY_TEST_STOP_IN_FILE=${3:-} timeout 300 wine "$whole_setup" /S '/D=C:\Fresh' >"$work/$1.out" 2>"$work/$1.err"
  rc=$?
  set -e
}
records() { tr -d '\r' < "$work/$1.err" | sed -n 's/^journal records: //p'; }
uninstall_fresh() {  # log-name
  set +e
  timeout 300 wine "$fresh/Tidewater_Uninstall.exe" /S >"$work/$1.out" 2>"$work/$1.err"
  rc=$?
  set -e
  [ "$rc" = 0 ] || { cat "$work/$1.err" >&2; fail "$1: the uninstaller ended with exit code $rc"; }
  grep -q 'did not finish; its [0-9]* changes were undone' "$work/$1.err" ||
    { cat "$work/$1.err" >&2; fail "$1: the uninstaller did not undo the stopped run"; }
  for i in $(seq 1 60); do [ -e "$fresh" ] || break; sleep 0.5; done
  [ ! -e "$fresh" ] || fail "$1: left behind: $(find "$fresh" | head -5)"
  ! wine reg query "$regkey" >/dev/null 2>&1 || fail "$1: the registration stayed"
  values > "$work/$1.values"
  diff "$work/values.before" "$work/$1.values" >&2 || fail "$1: the registry is not as before the product"
}
# The product's own keys start empty (the runs above wrote them): its
# uninstall deletes what its install log names, an undone run puts back.
wine reg delete 'HKLM\Software\Tidewater Atlas' /f >/dev/null 2>&1 || true
wine reg delete 'HKCU\Software\Tidewater Atlas' /f >/dev/null 2>&1 || true
values > "$work/values.before"
whole count-fresh 1000000
[ "$rc" = 0 ] || { cat "$work/count-fresh.err" >&2; fail "the counted fresh install: exit code $rc"; }
fresh_records=$(records count-fresh)
whole count-over 1000000
[ "$rc" = 0 ] || { cat "$work/count-over.err" >&2; fail "the counted run over the product: exit code $rc"; }
over_records=$(records count-over)
[ "${fresh_records:-0}" -ge 30 ] && [ "${over_records:-0}" -ge 30 ] ||
  fail "journal records: $fresh_records fresh, $over_records over the product"
for n in 2 3 $((over_records - 2)) $((over_records - 1)); do
  [ -e "$fresh" ] || { whole reinstall$n; [ "$rc" = 0 ] || fail "reinstall before $n: exit code $rc"; }
  whole over$n "$n"
  [ "$rc" = 99 ] || { cat "$work/over$n.err" >&2; fail "over the product, stopped at $n: exit code $rc"; }
  uninstall_fresh uninstall-over$n
done
whole third $((fresh_records / 3))
[ "$rc" = 99 ] || { cat "$work/third.err" >&2; fail "the fresh install stopped at a third: exit code $rc"; }
[ -s "$fresh/Tidewater_Uninstall.exe" ] || fail "a third of the way: no uninstaller"
wine reg query "$regkey" /v DisplayName 2>/dev/null | tr -d '\r' | grep -q 'Tidewater Atlas (setup not finished)' ||
  fail "a third of the way: the registration is not marked not finished"
uninstall_fresh uninstall-third
whole third-in-file $((fresh_records / 3)) 1
[ "$rc" = 99 ] || { cat "$work/third-in-file.err" >&2; fail "the fresh install stopped in a file: exit code $rc"; }
partial=$(tr -d '\r' < "$work/third-in-file.err" | sed -n 's/^stopped writing C:\\//p' | tr '\\' /)
[ -n "$partial" ] && [ -f "$drive_c/$partial" ] || fail "the fresh install stopped in a file: no file at its own name"
uninstall_fresh uninstall-third-in-file
echo "run journal: stopped at 2, 3, $((over_records - 2)), $((over_records - 1)) of $over_records records over the" \
  "product and at $((fresh_records / 3)) of $fresh_records fresh (there and in the file after): the uninstaller left nothing"
echo "e2e run journal: all checks passed"
