#!/usr/bin/env bash
# ferryc new: a starter in an empty folder compiles and verifies, a folder
# that is not empty is refused untouched, one that fails part-way leaves
# nothing. compile and extract: their counter
# shows on a terminal only, and the summary ends a run that is not -q.
set -euo pipefail
ferryc=$1 work=$2
rm -rf "$work"
mkdir -p "$work/empty"
cd "$work"
{ printf 'MZ'; head -c 4094 /dev/zero; } > stub.exe
fail() { echo "FAIL: $*" >&2; exit 1; }

"$ferryc" new empty > /dev/null
"$ferryc" compile empty/setup.fss --stub stub.exe -q
"$ferryc" verify empty/setup.exe > /dev/null

mkdir taken && echo mine > taken/notes.txt
status=0
"$ferryc" new taken > out.txt 2> err.txt || status=$?
[ "$status" = 1 ] || fail "ferryc new into a folder that is not empty exited $status"
grep -q 'not empty' err.txt || fail "no reason given: $(cat err.txt)"
[ "$(ls -A taken)" = notes.txt ] && [ ! -s out.txt ] || fail "ferryc new wrote into a folder that is not empty"

# A file that cannot be written part-way (files above 4 KiB refused): nothing stays.
status=0
( trap '' XFSZ; ulimit -f 4; "$ferryc" new partial > out.txt 2> err.txt ) || status=$?
[ "$status" = 1 ] && grep -q 'nothing was written' err.txt || fail "ferryc new with a failing write: exit $status, $(cat err.txt)"
[ -z "$(ls -d partial ./~ferryc-new-* 2>/dev/null)" ] || fail "ferryc new left files after a failure: $(ls -A)"

# command | summary on standard output
cases=(
  "compile empty/setup.fss --stub stub.exe -o setup.exe|^setup.exe: 38 entries, 1 payload groups, [0-9]+ bytes in, [0-9]+ bytes out \([0-9.]+ %\), stub 4096 bytes, setup [0-9]+ bytes, [0-9.]+ s$"
  "extract setup.exe again|^again: 26 entries, [0-9]+ bytes in, [0-9]+ bytes out \([0-9.]+ %\), [0-9.]+ s$"
)
for c in "${cases[@]}"; do
  cmd=${c%%|*} summary=${c#*|}
  # shellcheck disable=SC2086
  "$ferryc" $cmd > out.txt 2> err.txt
  [ ! -s err.txt ] || fail "$cmd: standard error redirected, yet: $(od -c err.txt | head -3)"
  tail -n 1 out.txt | grep -Eq "$summary" || fail "$cmd: last line '$(tail -n 1 out.txt)'"
  # On a terminal the counter shows, and -q silences it and the summary.
  script -qec "'$ferryc' $cmd > out.txt" /dev/null > tty.txt
  grep -q '38/38 files\|26/26 files' tty.txt || fail "$cmd: no counter on a terminal: $(od -c tty.txt | head -3)"
  script -qec "'$ferryc' $cmd -q > out.txt" /dev/null > tty.txt
  [ ! -s tty.txt ] && [ ! -s out.txt ] || fail "$cmd -q printed something"
done

# --version names the source commit; help COMMAND is COMMAND --help; --werror
# makes a warning stop the compile.
"$ferryc" --version | grep -Eqx 'ferryc [0-9.]+ \(commit ([0-9a-f]{7,}|unknown)\)' || fail "--version: $("$ferryc" --version)"
cmp <("$ferryc" help compile) <("$ferryc" compile --help) || fail "help compile differs from compile --help"
{ cat empty/setup.fss; echo 'delete $PROGRAMFILESX\a'; } > empty/warned.fss
mkdir warned
"$ferryc" compile empty/warned.fss --stub stub.exe -o warned/setup.exe -q 2> err.txt || fail "a warning stopped the compile"
[ "$(cat err.txt)" = "empty/warned.fss:$(wc -l < empty/warned.fss): warning: '\$PROGRAMFILESX' reads as \$PROGRAMFILES followed by 'X' (its value ends with a backslash)" ] ||
  fail "the warning: $(cat err.txt)"
rm warned/setup.exe
status=0
"$ferryc" compile empty/warned.fss --stub stub.exe -o warned/setup.exe -q --werror 2> err.txt || status=$?
[ "$status" = 1 ] && [ ! -e warned/setup.exe ] && grep -q 'warned.fss:[0-9]*: error: .*PROGRAMFILESX' err.txt ||
  fail "--werror: exit $status, $(cat err.txt)"
echo "ferryc new and progress: ok"
