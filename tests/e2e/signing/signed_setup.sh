#!/usr/bin/env bash
# signed_setup.sh STUB FERRYC NATIVE_FERRYC SOURCE_DIR WORK_DIR
#   (FERRYC: ferryc.exe or a native ferryc; NATIVE_FERRYC: a native ferryc,
#   ferryc.exe under Wine when that file is missing)
#
# A small setup compiled, then signed with osslsigncode and a self-signed
# code-signing certificate made here:
#   signed     verifies with the test's certificate; installs silently with
#              exit code 0, the payload byte for byte; the uninstaller it
#              writes carries no signature (and nothing worse) and removes
#              everything; ferryc verify passes it, and fails it naming the
#              entry once a stored byte is flipped;
#   garbage    bytes after the certificate table,
#   past-end   a security directory pointing past the end of the file:
#              start-up error "Invalid Setup Header", exit code 3.
set -euo pipefail
stub=$1 ferryc_exe=$2 native_ferryc=$3 src=$4 work=$5

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"

# ---- the certificate and the setup ------------------------------------------------
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Ferry Test Signer" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2> openssl.err ||
  { cat openssl.err >&2; fail "openssl could not make the certificate"; }

mkdir -p Files/data
printf 'signed readme\r\n' > Files/readme.txt
head -c 70000 /dev/urandom > Files/data/blob.bin
test_setup "$src" "Ferry Signed Test" signed_test.exe FST > signed.fss
uninstall_pages "$src" >> signed.fss
printf 'file Files\\\n' >> signed.fss

use_ferryc "$ferryc_exe"
ferryc compile signed.fss --stub "$(tool_path "$stub")" -o unsigned.exe -q
test -s unsigned.exe
# The setup checks its own name, so the signed copy takes the script's.
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -in unsigned.exe -out signed_test.exe > sign.out 2>&1 ||
  { cat sign.out >&2; fail "osslsigncode could not sign the setup"; }
cat sign.out

verify_signature() {  # file output
  set +e
  osslsigncode verify -CAfile "$work/setup/cert.pem" -in "$1" > "$2" 2>&1
  local rc=$?
  set -e
  return $rc
}
verify_signature signed_test.exe "$work/signed.verify" || { cat "$work/signed.verify" >&2; fail "the signed setup does not verify"; }
expect_text "$work/signed.verify" 'Signature verification: ok'
grep -E 'Signature verification|Number of verified' "$work/signed.verify"

if [ -x "$native_ferryc" ]; then
  native() { "$native_ferryc" "$@"; }
  native_path() { echo "$1"; }
else
  echo "note: no native ferryc at $native_ferryc: ferryc.exe under Wine checks the setups"
  native() { ferryc "$@"; }
  native_path() { tool_path "$1"; }
fi

# ---- signed: install, uninstaller, uninstall --------------------------------------
instdir='C:\FerrySigned\'
inst="$drive_c/FerrySigned"
set +e
wine "$work/setup/signed_test.exe" /S "/D=$instdir" 2> "$work/install.err" > /dev/null
rc=$?
set -e
sed -i 's/\r$//' "$work/install.err"
[ "$rc" = 0 ] || { cat "$work/install.err" >&2; fail "signed: the install ended with exit code $rc"; }
(cd Files && find . -type f) | while IFS= read -r f; do
  cmp "Files/$f" "$inst/$f" || fail "signed: $f differs from the payload"
done

uninstaller="$inst/FST_Uninstall.exe"
[ -f "$uninstaller" ] || fail "signed: no uninstaller"
if verify_signature "$uninstaller" "$work/uninstaller.verify"; then
  cat "$work/uninstaller.verify" >&2
  fail "the uninstaller verifies as signed"
fi
expect_text "$work/uninstaller.verify" 'No signature found'
# A security entry left pointing past the copy shows as "signature not at the
# end". (For a file of odd length osslsigncode leaves the last byte out of
# the PE checksum and so may call the CheckSum that Windows computes invalid.)
if grep -qiE 'not at the end|corrupt|malformed|error' "$work/uninstaller.verify"; then
  cat "$work/uninstaller.verify" >&2
  fail "osslsigncode finds more wrong with the uninstaller than a missing signature"
fi
echo "uninstaller ($(stat -c %s "$uninstaller") bytes):"
cat "$work/uninstaller.verify"
native verify "$(native_path "$uninstaller")" > "$work/uninstaller.ferryc" ||
  { cat "$work/uninstaller.ferryc" >&2; fail "ferryc verify fails the uninstaller"; }

set +e
wine "$uninstaller" /S 2> "$work/uninstall.err" > /dev/null
rc=$?
set -e
sed -i 's/\r$//' "$work/uninstall.err"
[ "$rc" = 0 ] || { cat "$work/uninstall.err" >&2; fail "signed: the uninstall ended with exit code $rc"; }
expect_text "$work/uninstall.err" 'Uninstall finished: "Ferry Signed Test" was removed.'
for i in $(seq 1 60); do
  [ -e "$inst" ] || break
  sleep 0.5
done
[ ! -e "$inst" ] || { find "$inst" >&2; fail "signed: the install folder is still there after the uninstall"; }

# ---- ferryc verify: sound, then one stored byte flipped --------------------------
native verify "$(native_path "$work/setup/signed_test.exe")" | tr -d '\r' > "$work/ferryc.verify" ||
  { cat "$work/ferryc.verify" >&2; fail "ferryc verify fails the signed setup"; }
tail -n 2 "$work/ferryc.verify"
native list "$(native_path "$work/setup/signed_test.exe")" | tr -d '\r' > "$work/ferryc.list"
expect_text "$work/ferryc.list" '# signed: archive ends at'
grep '^# signed' "$work/ferryc.list"
offset=$(awk '$NF == "data\\blob.bin" { print $7 }' "$work/ferryc.list")
[ -n "$offset" ] || { cat "$work/ferryc.list" >&2; fail "no data\\blob.bin in the listing"; }
cp signed_test.exe flipped.exe
byte=$(od -An -tu1 -j $((offset + 100)) -N1 flipped.exe | tr -d ' ')
printf "$(printf '\\%03o' $((byte ^ 0xFF)))" | dd of=flipped.exe bs=1 seek=$((offset + 100)) conv=notrunc status=none
set +e
native verify "$(native_path "$work/setup/flipped.exe")" | tr -d '\r' > "$work/flipped.verify"
rc=${PIPESTATUS[0]}
set -e
[ "$rc" = 1 ] || { cat "$work/flipped.verify" >&2; fail "ferryc verify of a flipped byte: exit code $rc"; }
grep -qE '^[0-9]+ 1 BAD: .* data\\blob\.bin$' "$work/flipped.verify" ||
  { cat "$work/flipped.verify" >&2; fail "ferryc verify does not name data\\blob.bin"; }
grep BAD "$work/flipped.verify"

# ---- damaged signatures: start-up stops -----------------------------------------
expect_header_error() {  # name
  set +e
  wine "$work/$1/signed_test.exe" /S "/D=C:\\FerryDamaged" 2> "$work/$1.err" > /dev/null
  local rc=$?
  set -e
  sed -i 's/\r$//' "$work/$1.err"
  [ "$rc" = 3 ] || { cat "$work/$1.err" >&2; fail "$1: exit code $rc, expected 3"; }
  expect_text "$work/$1.err" 'Error: Invalid Setup Header. No Contents or Corrupted Contents.'
  [ ! -e "$drive_c/FerryDamaged" ] || fail "$1: something was installed"
}

mkdir -p "$work/garbage" "$work/past-end"
cp signed_test.exe "$work/garbage/signed_test.exe"
printf 'garbage!' >> "$work/garbage/signed_test.exe"
expect_header_error garbage

# The security directory of the 64-bit program: entry 4 of the optional
# header's directories, 144 bytes into it; its address moved past the end.
cp signed_test.exe "$work/past-end/signed_test.exe"
le32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
put32() {  # file offset value
  local v=$3
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
security=$(( $(le32 signed_test.exe 60) + 24 + 144 ))
[ "$(le32 signed_test.exe "$security")" -gt 0 ] || fail "no security directory where it was looked for"
put32 "$work/past-end/signed_test.exe" "$security" $(( $(stat -c %s signed_test.exe) + 8 ))
expect_header_error past-end

for d in garbage past-end; do
  set +e
  native verify "$(native_path "$work/$d/signed_test.exe")" | tr -d '\r' > "$work/$d.ferryc"
  rc=${PIPESTATUS[0]}
  set -e
  [ "$rc" = 1 ] || { cat "$work/$d.ferryc" >&2; fail "$d: ferryc verify exit code $rc"; }
  echo "$d: $(head -n 1 "$work/$d.ferryc")"
done
echo "signed setup: all checks passed"
