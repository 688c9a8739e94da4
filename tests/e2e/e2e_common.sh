# Sourced by the end-to-end scripts: a fresh private Wine prefix under the
# work folder (the wine server is ended when the script exits) and the
# checks every script uses.

# fresh_prefix WORK_DIR: empties WORK_DIR, makes WORK_DIR/prefix, sets drive_c.
fresh_prefix() {
  rm -rf "$1"
  mkdir -p "$1"
  export WINEPREFIX="$1/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  wineboot -i >/dev/null 2>&1 || true
  drive_c="$WINEPREFIX/drive_c"
  test -d "$drive_c"
}

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_text() {  # file fixed-text
  grep -qF -- "$2" "$1" || { cat "$1" >&2; fail "no '$2' in $(basename "$1")"; }
}
