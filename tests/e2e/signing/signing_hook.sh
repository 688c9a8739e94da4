#!/usr/bin/env bash
# signing_hook.sh STUB NATIVE_FERRYC SOURCE_DIR WORK_DIR
#
# ferryc compile --sign with osslsigncode and a certificate made here:
#   the setup, the uninstaller it installs and the removal copy that runs
#   from the temporary folder all verify; install and uninstall leave
#   nothing; two compiles with the same signing time give the same bytes;
#   a "signcommand" line signs the same way; a signer that fails makes the
#   compile exit 1 with the signer's output and no setup. The product has
#   an id of its own and is installed for the user (/CURRENTUSER): the
#   signed uninstaller finds and removes that registration, which only its
#   side file records.
# The hook is a Linux command line, so ferryc runs natively (exit 77 when
# there is none).
set -euo pipefail
stub=$1 native_ferryc=$2 src=$3 work=$4

[ -x "$native_ferryc" ] || { echo "needs a native ferryc at $native_ferryc"; exit 77; }
source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"
cd "$work/setup"

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Ferry Hook Signer" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2> openssl.err ||
  { cat openssl.err >&2; fail "openssl could not make the certificate"; }
when=$(date +%s)
sign="osslsigncode sign -certs $PWD/cert.pem -key $PWD/key.pem -h sha256 -time $when -in {file} -out {file}.signed && mv {file}.signed {file}"

mkdir -p Files
printf 'hooked readme\r\n' > Files/readme.txt
head -c 30000 /dev/urandom > Files/blob.bin
test_setup "$src" "Ferry Hook Test" hook_test.exe FHT > hook.fss
uninstall_pages "$src" >> hook.fss
printf 'productid FerryHookId\nscope either\nfile Files\\\n' >> hook.fss
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\FerryHookId'

verifies() {  # file what
  osslsigncode verify -CAfile "$work/setup/cert.pem" -in "$1" > "$work/$2.verify" 2>&1 ||
    { cat "$work/$2.verify" >&2; fail "$2 does not verify"; }
  expect_text "$work/$2.verify" 'Signature verification: ok'
  echo "$2: $(grep -m1 'Signature verification' "$work/$2.verify")"
}

# ---- compile: signed, the same bytes again, the script's line --------------------
"$native_ferryc" compile hook.fss --stub "$stub" --sign "$sign" -q
verifies hook_test.exe setup
mkdir -p again line
"$native_ferryc" compile hook.fss --stub "$stub" --sign "$sign" -o again/hook_test.exe -q
cmp hook_test.exe again/hook_test.exe || fail "the same inputs and signing time gave other bytes"
# The line stays empty in the command stream, so its text does not change
# the setup: the option's signer wins over a failing one in the script.
mkdir -p option
{ cat hook.fss; printf 'signcommand "%s"\n' "$sign"; } > line/hook.fss
{ cat hook.fss; printf 'signcommand "exit 1 {file}"\n'; } > option/hook.fss
cp -r Files layouts languages images uninstall Changelog.rtf line/
cp -r Files layouts languages images uninstall Changelog.rtf option/
"$native_ferryc" compile line/hook.fss --stub "$stub" -q
verifies line/hook_test.exe line-setup
"$native_ferryc" compile option/hook.fss --stub "$stub" --sign "$sign" -q
cmp line/hook_test.exe option/hook_test.exe || fail "--sign did not win over \"signcommand\""
! ls ./*.ferryc-part* again/*.ferryc-part* line/*.ferryc-part* 2> /dev/null || fail "part files left beside the setup"

# ---- a signer that fails ----------------------------------------------------------
mkdir -p failed
set +e
"$native_ferryc" compile hook.fss --stub "$stub" -o failed/hook_test.exe \
  --sign "echo 'signer: no key in the token' >&2; exit 3; : {file}" > "$work/failed.out" 2>&1
rc=$?
set -e
[ "$rc" = 1 ] || { cat "$work/failed.out" >&2; fail "a failing signer: exit code $rc, expected 1"; }
expect_text "$work/failed.out" 'the signing command failed on the uninstaller'
expect_text "$work/failed.out" 'signer: no key in the token'
[ -z "$(ls -A failed)" ] || { ls -la failed >&2; fail "a failing signer left files"; }
set +e
"$native_ferryc" compile hook.fss --stub "$stub" -o failed/hook_test.exe \
  --sign "case {file} in *uninstaller*) ;; *) echo 'signer: quota spent'; exit 1;; esac" > "$work/failed2.out" 2>&1
rc=$?
set -e
[ "$rc" = 1 ] || { cat "$work/failed2.out" >&2; fail "a signer failing on the setup: exit code $rc"; }
expect_text "$work/failed2.out" 'the signing command failed on the setup'
expect_text "$work/failed2.out" 'signer: quota spent'
[ -z "$(ls -A failed)" ] || { ls -la failed >&2; fail "a signer failing on the setup left files"; }

# ---- install: the uninstaller as signed ---------------------------------------------
inst="$drive_c/FerryHook"
set +e
wine "$work/setup/hook_test.exe" /S /CURRENTUSER '/D=C:\FerryHook\' 2> "$work/install.err" > /dev/null
rc=$?
set -e
[ "$rc" = 0 ] || { tr -d '\r' < "$work/install.err" >&2; fail "the install ended with exit code $rc"; }
cmp Files/blob.bin "$inst/blob.bin" || fail "blob.bin differs from the payload"
uninstaller="$inst/FHT_Uninstall.exe"
[ -f "$uninstaller" ] && [ -f "$inst/FHT_Uninstall.dat" ] || { ls -la "$inst" >&2; fail "no uninstaller or no side file"; }
verifies "$uninstaller" uninstaller
wine reg query "$uninstall_key" /v InstallLocation > /dev/null 2>&1 || fail "not registered as $uninstall_key"
cp "$uninstaller" "$work/uninstaller-signed.exe"

# ---- without its side file the uninstaller removes nothing ------------------------
mv "$inst/FHT_Uninstall.dat" "$work/side.dat"
set +e
wine "$uninstaller" /S 2> "$work/noside.err" > /dev/null
rc=$?
set -e
tr -d '\r' < "$work/noside.err" > "$work/noside.txt"
[ "$rc" = 3 ] || { cat "$work/noside.txt" >&2; fail "without its side file: exit code $rc, expected 3"; }
expect_text "$work/noside.txt" 'beside the uninstaller is missing or damaged. Nothing was removed.'
[ -f "$inst/blob.bin" ] && [ -f "$uninstaller" ] || fail "without its side file the uninstaller removed files"
mv "$work/side.dat" "$inst/FHT_Uninstall.dat"

# ---- uninstall: the removal copy caught while it is there ---------------------------
temp_root="$drive_c/users"
(
  for _ in $(seq 1 1500); do
    found=$(find "$temp_root" -name ferry-remove.exe 2> /dev/null | head -n 1)
    if [ -n "$found" ] && cp "$found" "$work/removal-copy.exe" 2> /dev/null; then exit 0; fi
    sleep 0.02
  done
) &
watcher=$!
set +e
wine "$uninstaller" /S 2> "$work/uninstall.err" > /dev/null
rc=$?
set -e
tr -d '\r' < "$work/uninstall.err" > "$work/uninstall.txt"
[ "$rc" = 0 ] || { cat "$work/uninstall.txt" >&2; fail "the uninstall ended with exit code $rc"; }
expect_text "$work/uninstall.txt" 'Uninstall finished: "Ferry Hook Test" was removed.'
wait "$watcher" || true
[ -s "$work/removal-copy.exe" ] || fail "the removal copy was not seen in the temporary folder"
cmp "$work/removal-copy.exe" "$work/uninstaller-signed.exe" || fail "the removal copy differs from the signed uninstaller"
verifies "$work/removal-copy.exe" removal-copy

for _ in $(seq 1 60); do
  [ -e "$inst" ] || [ -n "$(find "$temp_root" -name ferry-remove.exe 2> /dev/null)" ] || break
  sleep 0.5
done
[ ! -e "$inst" ] || { find "$inst" >&2; fail "the install folder is still there after the uninstall"; }
! wine reg query "$uninstall_key" > /dev/null 2>&1 || fail "the uninstall left $uninstall_key"
left=$(find "$temp_root" -name ferry-remove.exe 2> /dev/null)
[ -z "$left" ] || fail "the removal copy stayed: $left"
echo "signing hook: all checks passed"
