#!/usr/bin/env bash
# The digest stored at offset 28 equals md5sum of the archive from offset 44.
set -euo pipefail
ferryc=$1
work=$2
rm -rf "$work" && mkdir -p "$work/payload/units/configs"
head -c 70000 /dev/urandom >"$work/payload/units/configs/noise.bin"
seq 1 20000 >"$work/payload/units/configs/numbers.txt"
: >"$work/payload/empty.txt"
"$ferryc" vfs create "$work/game.vfs" --block-size 512 --blocks 400 --roots 16 --side-file
"$ferryc" vfs add "$work/game.vfs" --dir "$work/payload"
"$ferryc" vfs check "$work/game.vfs"
stored=$(od -An -tx1 -j28 -N16 "$work/game.vfs" | tr -d ' \n')
actual=$(tail -c +45 "$work/game.vfs" | md5sum | cut -d' ' -f1)
echo "stored $stored, md5sum $actual"
[ "$stored" = "$actual" ]
# And the data comes back out whole.
"$ferryc" vfs cat "$work/game.vfs" 'units\configs\numbers.txt' | cmp - "$work/payload/units/configs/numbers.txt"
"$ferryc" vfs cat "$work/game.vfs" 'units\configs\noise.bin' | cmp - "$work/payload/units/configs/noise.bin"
# A name Windows cannot create is refused and the archive stays as it was.
cp "$work/game.vfs" "$work/before.vfs"
if "$ferryc" vfs add "$work/game.vfs" 'units\a?b.txt='"$work/payload/empty.txt" 2>"$work/err.txt"; then exit 1; fi
grep -q "holds '?'" "$work/err.txt"
cmp "$work/game.vfs" "$work/before.vfs"
