#!/usr/bin/env bash
# full_disk.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# Installs onto drive F:, a small file system of its own, with room for the
# payload (so the free-space check lets the run start) but not for the
# payload and the uninstaller:
#   fresh   exit 1, "Disk full" named, nothing left on the drive and no
#           registration;
#   patch   over an installed release: exit 1, the product byte for byte as
#           before; with room made, the same patch installs and its
#           uninstaller removes the product.
# Mounting needs the right to mount: without it the test is skipped (77).
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
drive=$work/drive
mkdir -p "$drive"
mount -t tmpfs -o size=16m tmpfs "$drive" 2>/dev/null || { echo "cannot mount a file system here: skipped"; exit 77; }
trap 'wineserver -k >/dev/null 2>&1 || true; umount "$drive" 2>/dev/null || true' EXIT
# A fixed disk to Wine (a tmpfs would be a RAM disk, which takes no install).
ln -sfn "$drive" "$WINEPREFIX/dosdevices/f:"
wine reg add 'HKLM\Software\Wine\Drives' /v f: /d hd /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
keep_server

# Release 1 and release 2 of 6 files of 1 MiB that do not compress.
compile() {  # release
  mkdir -p "$work/r$1/Files" && cd "$work/r$1"
  for i in 1 2 3 4 5 6; do head -c 1048576 /dev/urandom > "Files/f$i.bin"; done
  { test_setup "$src" "Ferry Full Disk" full_test.exe FFD; uninstall_pages "$src"; printf 'file Files\\\n'; } > full.fss
  ferryc compile full.fss --stub "$(tool_path "$stub")" -o full_test.exe -q
}
compile 1
compile 2
install() {  # release name: exit code in $rc, standard error in $work/<name>.err
  set +e
  wine "$work/r$1/full_test.exe" /S '/D=F:\Full' > "$work/$2.out" 2> "$work/$2.err"
  rc=$?
  set -e
}
# Leaves the payload's size and 256 KiB free on the drive.
leave_room_for_payload() {
  local free filler=$drive/filler.bin
  rm -f "$filler"
  free=$(df -k --output=avail "$drive" | tail -1)
  head -c $(((free - 6 * 1024 - 256) * 1024)) /dev/zero > "$filler"
}
regkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Full Disk'
registered() { wine reg query "$regkey" >/dev/null 2>&1; }

# ---- fresh ----------------------------------------------------------------------
leave_room_for_payload
install 1 fresh
[ "$rc" = 1 ] || { cat "$work/fresh.err" >&2; fail "fresh: exit code $rc"; }
expect_text "$work/fresh.err" 'Disk full'
expect_text "$work/fresh.err" 'Every change of the run was undone'
[ -z "$(ls -A "$drive" | grep -v '^filler.bin$')" ] || fail "fresh: left $(ls -A "$drive")"
! registered || fail "fresh: the product was registered"

# ---- patch ----------------------------------------------------------------------
rm -f "$drive/filler.bin"
install 1 release1
[ "$rc" = 0 ] || { cat "$work/release1.err" >&2; fail "release 1: exit code $rc"; }
snapshot() { (cd "$drive/Full" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
snapshot > "$work/before.sums"
leave_room_for_payload
install 2 patch
[ "$rc" = 1 ] || { cat "$work/patch.err" >&2; fail "patch: exit code $rc"; }
expect_text "$work/patch.err" 'Disk full'
snapshot > "$work/after.sums"
diff "$work/before.sums" "$work/after.sums" >&2 || fail "patch: the product is not as it was"
rm -f "$drive/filler.bin"
install 2 patch_roomy
[ "$rc" = 0 ] || { cat "$work/patch_roomy.err" >&2; fail "patch with room: exit code $rc"; }
cmp "$work/r2/Files/f6.bin" "$drive/Full/f6.bin" || fail "patch with room: f6.bin is not release 2's"
set +e
wine "$drive/Full/FFD_Uninstall.exe" /S > /dev/null 2> "$work/uninstall.err"
rc=$?
set -e
[ "$rc" = 0 ] || { cat "$work/uninstall.err" >&2; fail "uninstall: exit code $rc"; }
# The uninstaller's removing copy deletes it once it has ended.
for _ in $(seq 1 60); do [ -e "$drive/Full" ] || break; sleep 0.5; done
[ ! -e "$drive/Full" ] || fail "uninstall: left $(ls -A "$drive/Full")"
! registered || fail "uninstall: the registration stayed"
echo "full disk: a fresh install and a patch stopped by a full drive left nothing, then installed and uninstalled"
