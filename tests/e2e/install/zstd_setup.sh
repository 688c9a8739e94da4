#!/usr/bin/env bash
# zstd_setup.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# The same payload compiled twice, as today (zlib) and with "compression
# zstd": ferryc verify, list, extract and info read both; both install the
# same tree silently; a byte flipped in a zstd entry stops the setup in
# start-up verification naming that entry, as it does for a zlib one.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup/Files/maps/deep"
cd "$work/setup"
printf 'read me' > Files/readme.txt
: > Files/empty.txt
head -c 300000 /dev/urandom > Files/maps/noise.bin
# Several stream chunks of text that packs well.
python3 -c '
import sys
sys.stdout.write("".join("chart %d: depth %d, bearing %d\n" % (i, i * 37 % 500, i * 11 % 360) for i in range(150000)))
' > Files/maps/deep/charts.txt

test_setup "$src" "Ferry Codec Test" codec_test.exe FCT > zlib.fss
printf 'file Files\\\n' >> zlib.fss
{ cat zlib.fss; printf 'compression zstd 9\n'; } > zstd.fss

use_ferryc "$ferryc_exe"
for codec in zlib zstd; do
  ferryc compile $codec.fss --stub "$(tool_path "$stub")" -o $codec.exe -q
  ferryc verify $codec.exe > "$work/$codec.verify" || { cat "$work/$codec.verify" >&2; fail "$codec: verify"; }
  ferryc list $codec.exe | sed 's/\r$//' > "$work/$codec.list"
  methods=$(awk '$1 ~ /^[0-9]+$/ && $3 != "stored" { print $3 }' "$work/$codec.list" | sort -u)
  [ "$methods" = "$codec" ] || { cat "$work/$codec.list" >&2; fail "$codec: entries listed as '$methods'"; }
  ferryc info $codec.exe --script 2> /dev/null | tr -d '\r' > "$work/$codec.script"
  ferryc extract $codec.exe "$(tool_path "$work/$codec.extract")" --group 1 -q || fail "$codec: extract"
  diff -r Files "$work/$codec.extract" || fail "$codec: extracted files differ from the payload"
done
grep -qx 'compression zstd' "$work/zstd.script" || fail "info does not write 'compression zstd' back"
! grep -q '^compression' "$work/zlib.script" || fail "info writes a compression line for a zlib setup"

run_setup() {  # setup: installs it as codec_test.exe to C:\FerryE2E\codec, standard error in $work/<setup>.err, exit code in $rc
  set +e
  cp "$work/setup/$1.exe" "$work/setup/codec_test.exe"
  wine "$work/setup/codec_test.exe" /S "/D=C:\\FerryE2E\\codec" 2> "$work/$1.err" > /dev/null
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/$1.err"
}

# Both into the same folder, one after the other, so that even the install
# logs and uninstallers can be compared.
for codec in zlib zstd; do
  run_setup $codec
  [ "$rc" = 0 ] || { cat "$work/$codec.err" >&2; fail "$codec: exit code $rc"; }
  mv "$drive_c/FerryE2E/codec" "$work/$codec.tree"
  rmdir "$drive_c/FerryE2E"  # the next run creates it again, and logs that
done
diff -r "$work/zlib.tree" "$work/zstd.tree" || fail "the two setups installed different trees"
diff -r -x 'FCT_*' Files "$work/zstd.tree" || fail "the zstd setup did not install the payload"

cp zstd.exe crafted.exe
# One byte flipped inside charts.txt's zstd frame (list: index group method orig comp crc offset name).
read -r index offset <<< "$(awk '$NF == "maps\\deep\\charts.txt" { print $1, $7 }' "$work/zstd.list")"
[ -n "$offset" ] || fail "charts.txt not listed"
python3 - "$offset" <<'PY'
import sys
at = int(sys.argv[1]) + 1000
with open("zstd.exe", "r+b") as f:
    f.seek(at); b = f.read(1); f.seek(at); f.write(bytes([b[0] ^ 0x20]))
PY
set +e
ferryc verify zstd.exe | sed 's/\r$//' > "$work/damaged.verify"
status=${PIPESTATUS[0]}
set -e
[ "$status" = 1 ] || fail "verify of the damaged setup exited $status"
grep -qxF "$index 1 BAD: checksum mismatch maps\\deep\\charts.txt" "$work/damaged.verify" ||
  { cat "$work/damaged.verify" >&2; fail "verify does not name charts.txt"; }
run_setup zstd
[ "$rc" = 3 ] || { cat "$work/zstd.err" >&2; fail "damaged: exit code $rc"; }
expect_text "$work/zstd.err" "Verification Failed. Setup is corrupt."
expect_text "$work/zstd.err" "ID: $index Filename: maps\\deep\\charts.txt"
[ ! -e "$drive_c/FerryE2E/codec" ] || fail "damaged: something was installed"

# The same byte flipped, and the directory's CRC-32 made to match: start-up
# checks a zstd entry by its stored bytes and its frame header, so the damage
# shows only when extraction decodes the frame, and the run is undone.
python3 - "$offset" <<'PY'
import struct, sys, zlib
at = int(sys.argv[1])
with open("crafted.exe", "r+b") as f:
    data = bytearray(f.read())
    version, count, _, directory = struct.unpack_from("<HHII", data, len(data) - 12)
    pos = directory
    for _ in range(count):
        (length,) = struct.unpack_from("<H", data, pos)
        name = bytes(data[pos + 2:pos + 2 + length])
        fields = pos + 2 + length
        offset, comp = struct.unpack_from("<II", data, fields + 4)
        if name == rb"maps\deep\charts.txt":
            assert offset == at and comp > 2000
            data[at + 1000] ^= 0x20
            struct.pack_into("<I", data, fields, zlib.crc32(data[at:at + comp]))
        pos = fields + 18 + (1 if version == 2 else 0)
    f.seek(0); f.write(data)
PY
run_setup crafted
[ "$rc" = 1 ] || { cat "$work/crafted.err" >&2; fail "crafted: exit code $rc"; }
expect_text "$work/crafted.err" "charts.txt"
expect_text "$work/crafted.err" "Every change of the run was undone"
[ ! -e "$drive_c/FerryE2E/codec" ] || { find "$drive_c/FerryE2E" >&2; fail "crafted: something was left"; }
echo "zstd setup: ok"
