#!/usr/bin/env bash
# large_entry.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A setup carrying one 100 MiB file (a large entry, stored raw): sound, it
# verifies and installs silently; with one byte of that file flipped in the
# setup, ferryc verify names the entry (exit 1) and the silent setup stops in
# start-up verification (exit 3) instead of installing the damaged file.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup/Files"
cd "$work/setup"
head -c 104857600 /dev/urandom > Files/big.bin

test_setup "$src" "Ferry Large Entry" large_test.exe FLE > large.fss
printf 'file Files\\\n' >> large.fss

use_ferryc "$ferryc_exe"
ferryc compile large.fss --stub "$(tool_path "$stub")" -o large_test.exe -q
ferryc verify large_test.exe > /dev/null || fail "the sound setup does not verify"

run_setup() {  # name: installs to C:\FerryE2E\<name>, standard error in $work/<name>.err, exit code in $rc
  set +e
  timeout 60 wine "$work/setup/large_test.exe" /S "/D=C:\\FerryE2E\\$1" 2> "$work/$1.err" > /dev/null
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/$1.err"
}

run_setup sound
[ "$rc" = 0 ] || { cat "$work/sound.err" >&2; fail "sound: exit code $rc"; }
cmp -s Files/big.bin "$drive_c/FerryE2E/sound/big.bin" || fail "sound: big.bin not installed as it was"

# One byte flipped well inside the entry (list: index group method orig comp crc offset name).
offset=$(ferryc list large_test.exe | sed 's/\r$//' | awk '$NF == "big.bin" { print $7 }')
[ -n "$offset" ] || fail "big.bin not listed"
python3 - "$offset" <<'PY'
import sys
at = int(sys.argv[1]) + 60_000_000
with open("large_test.exe", "r+b") as f:
    f.seek(at); b = f.read(1); f.seek(at); f.write(bytes([b[0] ^ 0x20]))
PY

set +e
ferryc verify large_test.exe > "$work/verify.out"
status=$?
set -e
sed -i 's/\r$//' "$work/verify.out"
[ "$status" = 1 ] || { cat "$work/verify.out" >&2; fail "verify of the damaged setup exited $status"; }
grep -Eq '^[0-9]+ 1 BAD: checksum mismatch big.bin$' "$work/verify.out" || { cat "$work/verify.out" >&2; fail "verify does not name big.bin"; }

run_setup damaged
[ "$rc" = 3 ] || { cat "$work/damaged.err" >&2; fail "damaged: exit code $rc"; }
expect_text "$work/damaged.err" "Verification Error: Error: Verification Failed. Setup is corrupt."
expect_text "$work/damaged.err" "Filename: big.bin"
[ ! -e "$drive_c/FerryE2E/damaged/big.bin" ] || fail "damaged: big.bin was installed"
echo "large entry: ok"
