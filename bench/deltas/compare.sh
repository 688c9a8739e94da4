#!/usr/bin/env bash
# Delta patches of ferry setups beside xdelta3 (-9 -S djw) and bsdiff on the
# same changed files:
#   demo       examples/demo: 1.1 as installed (product-1.1/files) -> 1.2 (Files)
#   scattered  a 200 MiB file with 1% of its bytes changed in 100 places
#   inserted   the same file with 4 MiB inserted at its start
#   program    two builds of ferryc.exe (stripped) that differ by a small
#              source change, both built by this script (below)
#   small      20,000 files of 1-8 KiB, 5% of them edited
# Per case and tool: the delta's bytes (ferry: the stored bytes of the
# changed files' entries, delta or whole as ferryc chose), the make time
# (ferry: the whole compile) and the apply time. ferry applies under Wine (a
# silent run of the patch setup over a copy of the base, the tree then
# checked byte for byte), beside the same setup made without --base
# installed over the same copy, each with the stub's peak private memory
# (peak_private.py: anonymous resident bytes, mapped files not counted);
# xdelta3 and bspatch apply natively.
#
# The program case exports HEAD (git archive) to build/bench-program and
# builds ferryc.exe there with the windows preset, then again after one
# changed line; with ccache set up as for the project's builds
# (CMAKE_CXX_COMPILER_LAUNCHER) the first build comes mostly from the cache
# of build/windows, otherwise it is a whole build (some minutes on two
# cores). The small case takes some minutes at SCALE 1 (20,000 files: the
# compile, the two installs under Wine and 2,000 runs of each other tool).
#
#   scripts/bench deltas            (or bench/deltas/compare.sh)
#   SCALE=0.1 CASES="demo small" scripts/bench deltas
# Environment: SCALE (1), CASES ("demo scattered inserted program small"),
# TOOLS ("xdelta3 bsdiff": the others beside ferry; bsdiff takes minutes and
# some GiB of memory on the 200 MiB cases), FERRYC
# (build/native/tools/ferryc/ferryc), FERRY_STUB
# (build/windows/src/app/setup-stub.exe), WORK (/dev/shm/ferry-bench-deltas).
set -Eeuo pipefail
trap 'echo "FAILED: line $LINENO of $0"' ERR
src=$(cd "$(dirname "$0")/../.." && pwd)
. "$src/tests/e2e/e2e_common.sh"
cases=${CASES:-demo scattered inserted program small}
tools=${TOOLS-xdelta3 bsdiff}
ferryc=$(realpath "${FERRYC:-$src/build/native/tools/ferryc/ferryc}")
stub=$(realpath "${FERRY_STUB:-$src/build/windows/src/app/setup-stub.exe}")
work=$(realpath -m "${WORK:-/dev/shm/ferry-bench-deltas}")
for tool in wine xdelta3 bsdiff bspatch /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed (scripts/bootstrap installs it)"; exit 0; }
done
[ -x "$ferryc" ] || { echo "no ferryc at $ferryc (build the native preset, or set FERRYC)"; exit 1; }
[ -f "$stub" ] || { echo "no stub at $stub (build the windows preset, or set FERRY_STUB)"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
trap 'wineserver -k > /dev/null 2>&1 || true; rm -rf "$work"' EXIT
wineboot -i > /dev/null 2>&1 || true
keep_server
target=$WINEPREFIX/drive_c/bench

seconds() { /usr/bin/time -f %e -o "$work/time" "$@" > /dev/null 2>&1 || return 1; cat "$work/time"; }
sum() { awk '{ s += $1 } END { printf "%.2f", s }'; }
mib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1048576 }'; }

# ferryc.exe built from HEAD, then again with one line of it changed: the
# earlier and the later build of one program.
program_builds() {  # out
  local prog=$src/build/bench-program
  rm -rf "$prog" && mkdir -p "$prog/build" "$1/base" "$1/new"
  git -C "$src" archive HEAD | tar -x -C "$prog"
  ln -s "$src/build/deps" "$prog/build/deps"
  (cd "$prog" && cmake --preset windows > "$prog/configure.log" 2>&1)
  local version
  for version in base new; do
    if [ $version = new ]; then
      sed -i 's|unknown command '"'"'%s'"'"'\\n|unknown command '"'"'%s'"'"' (ferryc help lists the commands)\\n|' \
          "$prog/tools/ferryc/main.cpp"
      grep -q 'help lists the commands' "$prog/tools/ferryc/main.cpp" || { echo "FAILED: program: the change was not made"; exit 1; }
    fi
    (cd "$prog" && cmake --build --preset windows --target ferryc -j 2 > "$prog/build.log" 2>&1) ||
      { echo "FAILED: program: ferryc.exe did not build (see $prog/build.log)"; exit 1; }
    x86_64-w64-mingw32-strip -o "$1/$version/ferryc.exe" "$prog/build/windows/tools/ferryc/ferryc.exe"
  done
}

# The paths below both trees whose files differ.
changed_files() {  # base new
  (cd "$2" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) | while read -r f; do
    if [ -f "$1/$f" ] && ! cmp -s "$1/$f" "$2/$f"; then printf '%s\n' "$f"; fi
  done
}

ferry_case() {  # name base new
  local dir=$work/$1 base=$2 new=$3
  (cd "$dir" && test_setup "$src" "Ferry Delta Bench" bench.exe FDB > bench.fss && printf 'file new\\\n' >> bench.fss)
  ln -sfn "$new" "$dir/new"
  local make whole_make
  make=$(seconds "$ferryc" compile "$dir/bench.fss" --stub "$stub" --base "$base" -o "$dir/delta.exe" -q)
  whole_make=$(seconds "$ferryc" compile "$dir/bench.fss" --stub "$stub" -o "$dir/whole.exe" -q)
  "$ferryc" list "$dir/delta.exe" > "$dir/delta.list"
  local bytes deltas
  bytes=$(awk 'NR == FNR { want[$0] = 1; next } $2 != 0 && ($NF in want) { s += $5 } END { print s + 0 }' \
          <(sed 's|/|\\|g' "$dir/changed") "$dir/delta.list")
  deltas=$(awk '$3 == "delta"' "$dir/delta.list" | wc -l)
  local apply install apply_mem install_mem
  # The first program a fresh prefix runs pays for loading Wine itself (seconds
  # on a busy machine): an untimed run of the whole setup takes that first.
  rm -rf "$target" && mkdir -p "$target" && cp -r "$base/." "$target/"
  cp "$dir/whole.exe" "$dir/bench.exe"
  wine "$dir/bench.exe" /S '/D=C:\bench' > /dev/null 2>&1 || { echo "FAILED: $1: the untimed run failed"; exit 1; }
  for setup in delta whole; do
    rm -rf "$target" && mkdir -p "$target" && cp -r "$base/." "$target/"
    cp "$dir/$setup.exe" "$dir/bench.exe"
    local t mem
    read -r t mem < <(python3 "$src/bench/deltas/peak_private.py" bench.exe wine "$dir/bench.exe" /S '/D=C:\bench' ||
                      echo failed)
    [ "$t" != failed ] || { echo "FAILED: $1: the $setup setup failed"; exit 1; }
    if diff -r -q "$new" "$target" | grep -v '^Only in'; then echo "FAILED: $1: the $setup setup did not give the new tree"; exit 1; fi
    if [ $setup = delta ]; then apply=$t apply_mem=$mem; else install=$t install_mem=$mem; fi
  done
  echo "deltas/$1/ferry  delta $bytes bytes ($deltas deltas)  make $make s  apply $apply s (Wine)" \
       " peak private $(mib "$apply_mem") MiB  setup $(stat -c %s "$dir/delta.exe") bytes"
  echo "deltas/$1/ferry-whole  setup $(stat -c %s "$dir/whole.exe") bytes  make $whole_make s  install $install s (Wine)" \
       " peak private $(mib "$install_mem") MiB"
}

tool_case() {  # name base new tool
  local dir=$work/$1/$4 base=$2 new=$3 f make=() apply=() bytes=0
  mkdir -p "$dir"
  while read -r f; do
    local p=$dir/$(printf '%s' "$f" | tr / _)
    if [ "$4" = xdelta3 ]; then
      make+=("$(seconds xdelta3 -9 -S djw -f -e -s "$base/$f" "$new/$f" "$p.patch")")
      apply+=("$(seconds xdelta3 -f -d -s "$base/$f" "$p.patch" "$p.out")")
    else
      make+=("$(seconds bsdiff "$base/$f" "$new/$f" "$p.patch")")
      apply+=("$(seconds bspatch "$base/$f" "$p.out" "$p.patch")")
    fi
    cmp -s "$p.out" "$new/$f" || { echo "FAILED: $1: $4 did not give $f"; exit 1; }
    bytes=$((bytes + $(stat -c %s "$p.patch")))
    rm -f "$p.out" "$p.patch"
  done < "$work/$1/changed"
  echo "deltas/$1/$4  delta $bytes bytes  make $(printf '%s\n' "${make[@]}" | sum) s  apply $(printf '%s\n' "${apply[@]}" | sum) s (native)"
}

for name in $cases; do
  mkdir -p "$work/$name"
  if [ "$name" = demo ]; then
    base=$src/examples/demo/product-1.1/files new=$src/examples/demo/Files
  elif [ "$name" = program ]; then
    program_builds "$work/$name/tree"
    base=$work/$name/tree/base new=$work/$name/tree/new
  else
    python3 "$src/bench/deltas/payload.py" "$name" "$work/$name/tree"
    base=$work/$name/tree/base new=$work/$name/tree/new
  fi
  changed_files "$base" "$new" > "$work/$name/changed"
  echo "deltas/$name  $(wc -l < "$work/$name/changed") changed files, $(du -sb "$new" | cut -f1) bytes in the new tree"
  ferry_case "$name" "$base" "$new"
  for tool in $tools; do tool_case "$name" "$base" "$new" "$tool"; done
done
