#!/usr/bin/env bash
# Ferry setups beside the Debian package nsis (makensis) on the same payloads:
#   mixed: 2,000 files, 200 MiB (text, game-like records, random bytes, three
#          files of 20-60 MiB);   small: 20,000 files of 1-8 KiB.
# Each payload is compiled four ways (ferry zlib, ferry zstd, nsis zlib, nsis
# /SOLID lzma; compile wall time), then installed silently under Wine in a
# private prefix into /dev/shm, in ROUNDS interleaved rounds; every installed
# tree is checked byte for byte. Per system: median wall, median CPU (the
# setup's user + sys from GNU time plus its wineserver's), the wineserver's
# CPU alone, the largest peak resident memory of the wine process, setup
# size, compile wall, ratios to nsis zlib; for ferry the phases of a run
# (start-up, verification, the work after it) from the times its lines reach
# standard error. For the small payload, the ferry uninstaller's wall time as
# well. Then the size of an empty setup of each, and the wine server
# requests per payload file: a WINEDEBUG=+server trace of an install of
# 1,000 small files less that of 1 file, over 999.
#
#   scripts/bench installers            (or bench/installers/compare.sh)
#   scripts/bench installers --quick    one round (ROUNDS=1)
#   SCALE=0.1 PAYLOADS=small ROUNDS=1 scripts/bench installers
# Environment: SCALE (1), PAYLOADS ("small mixed"; "" for none), ROUNDS (3; 1 with
# --quick), REQUESTS (1: count server requests; 0 skips it), FERRYC
# (build/native/tools/ferryc/ferryc), FERRY_STUB
# (build/windows/src/app/setup-stub.exe), WORK (build/bench-installers).
set -Eeuo pipefail
trap 'echo "FAILED: line $LINENO of $0"' ERR
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/tests/e2e/e2e_common.sh"
scale=${SCALE:-1}
payloads=${PAYLOADS-small mixed}  # empty: none
rounds=${ROUNDS:-3}
[ "${1:-}" = --quick ] && rounds=${ROUNDS:-1}
count_requests=${REQUESTS:-1}
ferryc=${FERRYC:-$src/build/native/tools/ferryc/ferryc}
stub=${FERRY_STUB:-$src/build/windows/src/app/setup-stub.exe}
work=$(realpath -m "${WORK:-$src/build/bench-installers}")
shm=/dev/shm/ferry-bench-installers-$$
helper="$src/bench/installers/payload.py"

if ! command -v makensis > /dev/null; then
  echo "installing nsis (makensis)"
  if [ "$(id -u)" = 0 ]; then apt-get install -y nsis > /dev/null; else sudo apt-get install -y nsis > /dev/null; fi
fi
for tool in wine wineserver python3 makensis /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$ferryc" ] || { echo "no ferryc at $ferryc (build the native preset, or set FERRYC)"; exit 1; }
[ -f "$stub" ] || { echo "no stub at $stub (build the windows preset, or set FERRY_STUB)"; exit 1; }

rm -rf "$work"
mkdir -p "$work" "$shm"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
trap 'wineserver -k > /dev/null 2>&1 || true; rm -rf "$shm"' EXIT
wineboot -i > /dev/null 2>&1 || true
# One server for the whole run, so that its CPU time can be read.
wineserver -w > /dev/null 2>&1 || true
(setsid wineserver -p > /dev/null 2>&1 &)
wine cmd /c exit 0 > /dev/null 2>&1 || true
server_pid=""
for pid in $(pgrep wineserver || true); do
  if { tr '\0' '\n' < "/proc/$pid/environ"; } 2> /dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then server_pid=$pid; fi
done
[ -n "$server_pid" ] || echo "note: the wineserver was not found; its CPU time shows as 0"
ticks=$(getconf CLK_TCK)
server_cpu() {
  if [ -n "$server_pid" ] && [ -r "/proc/$server_pid/stat" ]; then
    awk -v t="$ticks" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / t }' "/proc/$server_pid/stat"
  else
    echo 0
  fi
}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

echo "installers: SCALE=$scale ROUNDS=$rounds PAYLOADS=\"$payloads\"  $(makensis -VERSION), $(wine --version)"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"

# compile_ferry DIR NAME COMPRESSION-LINE
compile_ferry() {
  local dir=$1 name=$2 start
  (
    cd "$dir"
    test_setup "$src" "Bench $name" "$name.exe" "Bench" > "$name.fss"
    uninstall_pages "$src" >> "$name.fss"
    printf '%s\nfile Payload\\\n' "$3" >> "$name.fss"
    start=$(now)
    "$ferryc" compile "$name.fss" --stub "$stub" -o "$name.exe" -q
    since "$start" > "$name.compile"
  )
}

# compile_nsis DIR NAME COMPRESSOR
compile_nsis() {
  local dir=$1 name=$2 start
  # 64-bit, as the stub: this Wine has no 32-bit half.
  cat > "$dir/$name.nsi" <<NSI
Target amd64-unicode
SetCompressor $3
Name "Bench $name"
OutFile "$name.exe"
InstallDir "\$PROGRAMFILES\\Bench $name"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /nonfatal /r "Payload/*"
  WriteUninstaller "\$INSTDIR\\uninst.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "\$INSTDIR"
SectionEnd
NSI
  start=$(now)
  (cd "$dir" && makensis -V1 "$name.nsi" > "$name.log") || { cat "$dir/$name.log"; exit 1; }
  since "$start" > "$dir/$name.compile"
}

systems="ferry-zlib ferry-zstd nsis-zlib nsis-lzma"
for payload in $payloads; do
  dir="$work/$payload"
  mkdir -p "$dir"
  read -r count bytes < <(python3 "$helper" gen "$payload" "$dir/Payload" "$scale")
  compile_ferry "$dir" ferry-zlib ""
  compile_ferry "$dir" ferry-zstd "compression zstd"
  compile_nsis "$dir" nsis-zlib zlib
  compile_nsis "$dir" nsis-lzma "/SOLID lzma"
  results="$dir/results"
  : > "$results"
  uninstall_walls=""
  for ((r = 1; r <= rounds; ++r)); do
    for sys in $systems; do
      target="$shm/$payload-$sys-$r"
      sync
      before=$(server_cpu)
      # Each line stamped as it arrives: the phases of a ferry run.
      start=$(now)
      /usr/bin/time -f "%e %U %S %M" -o "$dir/$sys.time" \
        wine "$dir/$sys.exe" /S "/D=$(win_path "$target")" 2>&1 | python3 "$helper" stamp "$start" > "$dir/$sys.out" ||
        { echo "FAILED: $sys install (round $r)"; tail -5 "$dir/$sys.out"; exit 1; }
      read -r wall user sys_cpu peak < "$dir/$sys.time"
      phases=$(python3 "$helper" phases "$dir/$sys.out" "$wall")
      server=$(awk -v a="$before" -v b="$(server_cpu)" 'BEGIN { printf "%.2f", b - a }')
      case $sys in
        ferry-*) extra="Bench_Uninstall.exe Bench_install.log" ;;
        *) extra="uninst.exe" ;;
      esac
      # shellcheck disable=SC2086
      python3 "$helper" check "$dir/Payload" "$target" $extra
      # Uninstalled every time: one product has one registration, and the
      # next round installs it into another folder.
      if [ "${sys%-*}" = ferry ]; then
        start=$(now)
        wine "$target/Bench_Uninstall.exe" /S > "$dir/$sys.uninstall.out" 2>&1 ||
          { echo "FAILED: $sys uninstall (round $r)"; tail -5 "$dir/$sys.uninstall.out"; exit 1; }
        [ "$payload" != small ] || uninstall_walls="$uninstall_walls $sys:$(since "$start")"
        [ -z "$(find "$target" -type f ! -name 'Bench_Uninstall.exe' 2> /dev/null)" ] ||
          { echo "FAILED: $sys uninstall left files"; exit 1; }
      fi
      rm -rf "$target"
      echo "$sys $r $wall $(awk -v u="$user" -v s="$sys_cpu" 'BEGIN { printf "%.2f", u + s }') $server $peak $(stat -c %s "$dir/$sys.exe") $(cat "$dir/$sys.compile") $phases" >> "$results"
    done
  done
  echo
  echo "$payload: $count files, $(awk -v b="$bytes" 'BEGIN { printf "%.1f MiB", b / 1048576 }'), $rounds rounds (cpu: setup user+sys + wineserver; peak: wine process)"
  python3 "$helper" summary "$results" nsis-zlib
  if [ -n "$uninstall_walls" ]; then
    echo "  ferry uninstall wall (s):$uninstall_walls  median $(tr ' ' '\n' <<< "$uninstall_walls" |
      sed -n 's/.*://p' | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }')"
  fi
  rm -rf "$dir/Payload"
done

# The smallest setup each makes: no payload at all.
mkdir -p "$work/empty/Payload"
compile_ferry "$work/empty" ferry-empty ""
compile_nsis "$work/empty" nsis-empty zlib
echo
echo "empty setup: ferry $(stat -c %s "$work/empty/ferry-empty.exe") bytes, nsis $(stat -c %s "$work/empty/nsis-empty.exe") bytes"

# trace_requests EXE TARGET: the wine server requests of one silent install,
# from a server of its own started with tracing on.
trace_requests() {
  local trace="$1.trace"
  wineserver -k > /dev/null 2>&1 || true
  wineserver -w > /dev/null 2>&1 || true
  (setsid wineserver -f -d1 2> "$trace" &)
  sleep 1  # its socket made before the setup looks for it
  wine "$1" /S "/D=$(win_path "$2")" > /dev/null 2>&1 || { echo "FAILED: traced install of $1"; exit 1; }
  wineserver -k > /dev/null 2>&1 || true
  wineserver -w > /dev/null 2>&1 || true
  python3 "$helper" requests "$trace" > "$1.requests"
  rm -f "$trace"  # hundreds of MiB
  rm -rf "$2"
}

if [ "$count_requests" = 1 ]; then
  server_pid=""
  for files in 1 1000; do
    dir="$work/requests-$files"
    mkdir -p "$dir"
    python3 "$helper" gen small "$dir/Payload" "$(awk -v n=$files 'BEGIN { print n / 20000 }')" > /dev/null
    compile_ferry "$dir" ferry-zlib ""
    compile_ferry "$dir" ferry-zstd "compression zstd"
    compile_nsis "$dir" nsis-zlib zlib
    for sys in ferry-zlib ferry-zstd nsis-zlib; do trace_requests "$dir/$sys.exe" "$shm/requests-$sys"; done
  done
  echo
  echo "wine server requests of the setup process per payload file (a +server trace of 1,000 small files less one of 1 file, over 999):"
  for sys in ferry-zlib ferry-zstd nsis-zlib; do
    python3 "$helper" per-file "$work/requests-1/$sys.exe.requests" "$work/requests-1000/$sys.exe.requests" 999 "$sys"
  done
fi
echo
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
