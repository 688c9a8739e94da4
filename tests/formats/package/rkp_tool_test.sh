#!/usr/bin/env bash
# ferryc rkp from the command line: create, add, ls, cat, check, and the
# refusals (wrong password, overlong password, a name Windows cannot create)
# that leave files untouched.
#   rkp_tool_test.sh WORKDIR [EMULATOR] FERRYC
set -euo pipefail
work=$1; shift
ferryc=("$@")
rm -rf "$work" && mkdir -p "$work/src/sub" && cd "$work"
fail() { echo "FAIL: $*"; exit 1; }

printf 'hello\n' > src/a.txt
head -c 5000 /dev/urandom > src/sub/b.bin
: > src/empty.txt

"${ferryc[@]}" rkp create p.rkp --password Sesame
"${ferryc[@]}" rkp add p.rkp src --password Sesame | tee out.txt
grep -q '^3 written, 0 unchanged' out.txt || fail "first add"
"${ferryc[@]}" rkp add p.rkp src --password Sesame | tee out.txt
grep -q '^0 written, 3 unchanged' out.txt || fail "second add wrote data"

"${ferryc[@]}" rkp ls p.rkp | tr -d '\r' > ls.txt
grep -q '^trailer: RKP3/EIH2' ls.txt || fail "trailer"
grep -q '^password: set' ls.txt || fail "password"
grep -q 'sub\\b.bin$' ls.txt || fail "entry name"

"${ferryc[@]}" rkp cat p.rkp 'SUB\B.BIN' -o b.out
cmp b.out src/sub/b.bin || fail "cat"
"${ferryc[@]}" rkp check p.rkp --deep | tr -d '\r' | grep -q '^ok: ' || fail "check"

cp p.rkp before.rkp
if "${ferryc[@]}" rkp add p.rkp src --password sesame 2>err.txt; then fail "wrong password accepted"; fi
grep -q 'Incorrect Password' err.txt || fail "password message"
cmp p.rkp before.rkp || fail "wrong password changed the package"
[ ! -e p.rkp.undo ] || fail "side file left"

# A name Windows cannot create (a device name) is refused before anything is
# written. Under Wine the folder listing never shows ferryc.exe such a file.
if [ ${#ferryc[@]} -eq 1 ]; then
  mkdir -p bad && printf 'x' > bad/aux.txt
  if "${ferryc[@]}" rkp add p.rkp bad --password Sesame 2>err.txt; then fail "device name accepted"; fi
  grep -q "aux.txt.*device name" err.txt || fail "device name message"
  cmp p.rkp before.rkp || fail "a refused name changed the package"
fi

long=$(printf 'x%.0s' $(seq 42))
if "${ferryc[@]}" rkp create q.rkp --password "$long" 2>/dev/null; then fail "overlong password accepted"; fi
[ ! -e q.rkp ] || fail "overlong password wrote a file"

if "${ferryc[@]}" rkp check no-such.rkp 2>/dev/null; then fail "missing file checked ok"; fi
head -c 100 p.rkp > cut.rkp
if "${ferryc[@]}" rkp check cut.rkp 2>/dev/null; then fail "cut package checked ok"; fi
echo "rkp tool: all checks passed"
