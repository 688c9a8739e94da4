#!/usr/bin/env bash
# delta_patch.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A patch compiled with "@base" against release 1 (a small file, and a file
# of several delta chunks with scattered edits and an insertion at its
# start), run silently over installed copies of release 1:
#   exact        over release 1 as it was: release 2, byte for byte;
#   edited       one file edited since: exit 1, the file named, nothing written;
#   edited+whole the same with that file shipped whole too ("@whole"): release 2.
#   shortened    the base cut short by a program the run starts after the
#                check of the bases: exit 1, the file named, the run undone;
#   share        the product on a drive Wine reports as a network share,
#                whose files are read rather than mapped: release 2.
# A byte flipped in a delta entry fails start-up verification (exit 3).
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
mkdir -p "$work/setup/old/docs" "$work/setup/new/docs"
cd "$work/setup"
python3 - <<'PY'
import random
rng = random.Random(7)
text = "".join("line %d of the manual, chapter %d\n" % (i, i // 40) for i in range(4000))
open("old/docs/manual.txt", "w").write(text)
open("new/docs/manual.txt", "w").write(text.replace("chapter 7\n", "chapter seven\n"))
# 40 MiB: three chunks; the new one has 64 KiB more at its start and 50 edits.
old = bytearray(rng.randbytes(40 << 20))
open("old/survey.bin", "wb").write(old)
new = bytearray(rng.randbytes(64 << 10)) + old
for _ in range(50):
    at = rng.randrange(len(new) - 4096)
    new[at:at + 4096] = rng.randbytes(4096)
open("new/survey.bin", "wb").write(new)
PY
echo 'unchanged' | tee old/same.txt > new/same.txt

test_setup "$src" "Ferry Delta Test" delta_test.exe FDT > plain.fss
printf 'compression zstd 9\n@base old\nfile new\\\n' >> plain.fss
{ cat plain.fss; printf '@whole docs\\manual.txt\n'; } > whole.fss
{ test_setup "$src" "Ferry Delta Test" delta_test.exe FDT
  printf 'compression zstd 9\n@base old\n'
  printf 'execute cmd.exe "/c echo short>C:\\FerryE2E\\delta\\survey.bin"\n'
  printf 'file new\\\n'; } > shorten.fss
for s in plain whole shorten; do
  ferryc compile $s.fss --stub "$(tool_path "$stub")" -o $s.exe -q
  ferryc verify $s.exe > "$work/$s.verify" || { cat "$work/$s.verify" >&2; fail "$s: verify"; }
done
ferryc list plain.exe | tr -d '\r' > "$work/plain.list"
for f in 'docs\manual.txt' survey.bin; do
  [ "$(awk -v n="$f" '$NF == n { print $3 }' "$work/plain.list")" = delta ] || { cat "$work/plain.list" >&2; fail "$f is not a delta"; }
done
survey_stored=$(awk '$NF == "survey.bin" { print $5 }' "$work/plain.list")
[ "$survey_stored" -lt $((1 << 20)) ] || fail "survey.bin's delta takes $survey_stored bytes"
ferryc info whole.exe --script 2>/dev/null | tr -d '\r' > "$work/whole.script"
grep -qx '@base old' "$work/whole.script" && grep -qxF '@whole docs\manual.txt' "$work/whole.script" ||
  { cat "$work/whole.script" >&2; fail "info does not write @base and @whole back"; }
set +e
ferryc extract plain.exe "$(tool_path "$work/nobase")" --group 1 -q 2> "$work/nobase.err"
rc=$?
set -e
[ "$rc" = 1 ] && grep -q 'give --base DIR' "$work/nobase.err" || fail "extract without --base: exit $rc"
ferryc extract plain.exe "$(tool_path "$work/based")" --group 1 --base "$(tool_path old)" -q
diff -r new "$work/based" || fail "extract --base does not give release 2"

# Drive N: is a folder that Wine takes for a network share.
mkdir -p "$work/share"
ln -sfn "$work/share" "$WINEPREFIX/dosdevices/n:"
wine reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f > /dev/null 2>&1
wineserver -k > /dev/null 2>&1 || true
keep_server

snapshot() { (cd "$target" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
# case setup edit drive expected-exit
while read -r name setup edit drive want; do
  if [ "$drive" = N ]; then target=$work/share/delta; else target=$drive_c/FerryE2E/delta; fi
  folder="$drive:\\FerryE2E\\delta"
  [ "$drive" = C ] || folder="$drive:\\delta"
  rm -rf "$target" && mkdir -p "$target" && cp -r old/. "$target/"
  # Installed elsewhere before: forgotten, so the folder is not refused.
  [ "$drive" = C ] || wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Delta Test' /f > /dev/null 2>&1
  [ "$edit" = - ] || printf 'edited\n' >> "$target/$edit"
  snapshot > "$work/$name.before"
  set +e
  cp "$setup.exe" delta_test.exe
  wine delta_test.exe /S "/D=$folder" 2> "$work/$name.err" > /dev/null
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/$name.err"
  [ "$rc" = "$want" ] || { cat "$work/$name.err" >&2; fail "$name: exit code $rc, expected $want"; }
  if [ "$want" = 0 ]; then
    diff -r -x 'FDT_*' new "$target" || fail "$name: the patched tree is not release 2"
  elif [ "$name" = shortened ]; then
    # What the program did is not undone; the patched files are.
    expect_text "$work/$name.err" "$folder\\survey.bin: the installed file could not be read whole"
    expect_text "$work/$name.err" "Every change of the run was undone"
    cmp -s old/docs/manual.txt "$target/docs/manual.txt" || fail "$name: manual.txt changed"
  else
    expect_text "$work/$name.err" "$folder\\docs\\manual.txt: it is not the file this patch was made for"
    snapshot | diff "$work/$name.before" - || fail "$name: the product changed"
  fi
  echo "delta patch, $name: ok"
done <<'CASES'
exact        plain   -              C 0
edited       plain   docs/manual.txt C 1
edited+whole whole   docs/manual.txt C 0
shortened    shorten -              C 1
share        plain   -              N 0
CASES

# One byte flipped in survey.bin's delta frames.
offset=$(awk '$NF == "survey.bin" { print $7 }' "$work/plain.list")
python3 - "$offset" <<'PY'
import sys
with open("plain.exe", "r+b") as f:
    f.seek(int(sys.argv[1]) + 5000); b = f.read(1); f.seek(-1, 1); f.write(bytes([b[0] ^ 0x20]))
PY
cp plain.exe delta_test.exe
set +e
wine delta_test.exe /S "/D=C:\\FerryE2E\\delta" 2> "$work/damaged.err" > /dev/null
rc=$?
set -e
[ "$rc" = 3 ] || { cat "$work/damaged.err" >&2; fail "damaged delta: exit code $rc"; }
expect_text "$work/damaged.err" "Filename: survey.bin"
echo "e2e delta patch: all checks passed"
