#!/usr/bin/env bash
# Runs docs/tutorial.md as a setup author would: every ```sh block in
# order, in one shell, in a fresh folder and Wine prefix, with this build's
# stub and a native ferryc (tutorial.sh STUB FERRYC_EXE SOURCE_DIR WORK_DIR
# NATIVE_FERRYC) as FERRYC and STUB. A block fenced ```sh wizard opens the
# wizard: it runs in the background until the setup's window shows on the
# private X server, then the prefix's programs are ended.
set -euo pipefail
stub=$1 ferryc=$2 src=$3 work=$4 native_ferryc=${5:-}
# The signing hook is a Linux command line: ferryc must run natively for it.
[ -x "$native_ferryc" ] || { echo "needs a native ferryc at '$native_ferryc'"; exit 77; }
ferryc=$native_ferryc
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
. "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"

# ferryc.exe runs under Wine; the page calls "$FERRYC" like any program.
case $ferryc in
  *.exe) printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$ferryc" > "$work/ferryc"
         chmod +x "$work/ferryc"
         export FERRYC="$work/ferryc" ;;
  *) export FERRYC=$ferryc ;;
esac
export STUB=$stub

# wizard_block FILE TITLE: runs FILE until a window named TITLE shows.
wizard_block() {
  bash -e "$1" > "$work/wizard.txt" 2>&1 &
  local pid=$! i
  for i in $(seq 60); do
    if xwininfo -root -tree 2>/dev/null | grep -qF "$2\""; then
      wineserver -k >/dev/null 2>&1 || true
      wait "$pid" || true
      keep_server
      echo "(the wizard showed \"$2\"; ended by the test)"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 1
  done
  wineserver -k >/dev/null 2>&1 || true
  cat "$work/wizard.txt" >&2
  fail "no window \"$2\" from the wizard block"
}

# The page as one script: plain blocks inline, wizard blocks through
# wizard_block, each announced with its line in the page.
awk -v dir="$work" '
  /^```sh/ && !inside { inside = 1; n++; wizard = ($2 == "wizard"); title = $0
                        sub(/^```sh wizard */, "", title); start = NR
                        printf "echo \"### docs/tutorial.md:%d\"\n", NR; next }
  /^```/ && inside    { inside = 0
                        if (wizard) printf "wizard_block %s/wizard-%d.sh %s\n", dir, n, title
                        next }
  inside && wizard    { print > (dir "/wizard-" n ".sh"); next }
  inside              { print }
' "$src/docs/tutorial.md" > "$work/tutorial-run.sh"
grep -q '^wizard_block' "$work/tutorial-run.sh" || fail "the page has no wizard block"

mkdir "$work/author"
cd "$work/author"
# Into a file, not a pipe: Wine's services, started by the page's first
# wine command, keep its output open after the page has ended.
set +e
(set -e; . "$work/tutorial-run.sh") > "$work/transcript.txt" 2>&1
status=$?
set -e
cat "$work/transcript.txt"
[ "$status" -eq 0 ] || fail "a block of the tutorial failed (exit code $status)"

# What the page says the reader will see.
expect_text "$work/transcript.txt" 'Setup finished: installed to "C:\Harbour Clock\".'
expect_text "$work/transcript.txt" 'Uninstall finished: "Harbour Clock" was removed.'
expect_text "$work/transcript.txt" "exit code 3"
expect_text "$work/transcript.txt" "filename has been renamed"
expect_text "$work/transcript.txt" "Signature verification: ok"
expect_text "$work/transcript.txt" "signed setup installed"
[ "$(grep -c 'Signature verification: ok' "$work/transcript.txt")" = 2 ] ||
  fail "the setup and its uninstaller did not both verify"
echo "tutorial: ok"
