#!/usr/bin/env bash
# The demo through the command-line tool: compile on a stand-in stub, verify,
# list, extract, compile the written-back script again to the same bytes,
# and see damage reported.
set -euo pipefail
ferryc=$1 src=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# A stand-in stub: any bytes do for the archive.
{ printf 'MZ'; head -c 4094 /dev/zero; } > stub.exe

"$ferryc" compile "$src/examples/demo/demo.fss" --stub stub.exe -o tidewater_patch.exe
"$ferryc" verify tidewater_patch.exe
"$ferryc" list tidewater_patch.exe > list.txt
grep -q ' 1 zlib .* readme.txt$' list.txt
grep -q ' 0 .* UNINSTALL_ICON.ICO$' list.txt
grep -q '^# group 3: 1 entries' list.txt

"$ferryc" info tidewater_patch.exe > info.txt 2> notes.txt
grep -q '^ShortTitle: Tidewater Atlas$' info.txt
grep -q '^MakeUninstaller: 1$' info.txt
test ! -s notes.txt

"$ferryc" extract tidewater_patch.exe again > extracted.txt 2> notes.txt
test ! -s notes.txt
"$ferryc" info --script tidewater_patch.exe | cmp - again/setup.fss
cmp again/setup-stub.exe stub.exe
"$ferryc" compile again/setup.fss --stub again/setup-stub.exe -o again/tidewater_patch.exe -q
cmp tidewater_patch.exe again/tidewater_patch.exe

"$ferryc" extract tidewater_patch.exe group1 --group 1 > /dev/null
diff -r "$src/examples/demo/Files" group1

# One flipped byte in the middle of the payload.
cp tidewater_patch.exe damaged.exe
size=$(stat -c %s damaged.exe)
printf '\xAA' | dd of=damaged.exe bs=1 seek=$((size / 2)) conv=notrunc status=none
if "$ferryc" verify damaged.exe > verify.txt; then
  echo "verify passed a damaged setup" >&2
  exit 1
fi
grep -q 'BAD' verify.txt
grep -q '^damaged$' verify.txt

# Not a setup at all.
if "$ferryc" verify stub.exe > verify.txt; then
  echo "verify passed a file without an archive" >&2
  exit 1
fi

# A script with errors writes nothing.
printf 'outfile bad.exe\ngoto nowhere\n' > bad.fss
if "$ferryc" compile bad.fss --stub stub.exe 2> errors.txt; then
  echo "a bad script compiled" >&2
  exit 1
fi
grep -q '^bad.fss:2: error: Label not found - nowhere$' errors.txt
test ! -e bad.exe
echo "demo round trip: ok"
