# Sourced by the end-to-end scripts: a fresh private Wine prefix under the
# work folder and the checks every script uses.
#
# The prefix's wine server is kept alive until the script exits. Left to
# itself it quits a few seconds after its last process, and a wine command
# started just then can fail without a word (a value read as missing).

# fresh_prefix WORK_DIR: empties WORK_DIR, makes WORK_DIR/prefix, sets drive_c.
fresh_prefix() {
  rm -rf "$1"
  mkdir -p "$1"
  export WINEPREFIX="$1/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
  wineboot -i >/dev/null 2>&1 || true
  drive_c="$WINEPREFIX/drive_c"
  test -d "$drive_c"
  keep_server
}

# keep_server: (re)starts the prefix's wine server, persistent, once the
# previous one has quit (the server puts itself in the background when it
# is ready).
keep_server() {
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 || true
}

# win_path PATH: this machine's path as Wine's programs name it (drive Z:
# is the root). Worked out here rather than by winepath, a wine process,
# which like any wine command can fail now and then and print nothing.
win_path() {
  local p
  p=$(realpath -m -- "$1")
  p="Z:$p"
  printf '%s\n' "${p//\//\\}"
}

# use_ferryc FERRYC: defines ferryc (ferryc.exe under Wine or a native one)
# and tool_path, a path as that ferryc takes it.
use_ferryc() {
  ferryc_program=$1
  case "$ferryc_program" in
    *.exe) ferryc() { wine "$ferryc_program" "$@"; }; tool_path() { win_path "$1"; } ;;
    *) ferryc() { "$ferryc_program" "$@"; }; tool_path() { echo "$1"; } ;;
  esac
}

# test_setup SOURCE_DIR NAME OUTFILE PREFIX: copies the demo's pages, images,
# languages and change log into the current folder and prints the head of a
# small setup script that uses them; the caller adds its commands.
test_setup() {
  cp -r "$1/examples/demo/layouts" "$1/examples/demo/languages" "$1/examples/demo/images" .
  cp "$1/examples/demo/Changelog.rtf" .
  cat <<HEAD
name "$2"
outfile $3
installdir "\$PROGRAMFILES\\$2\\"
changelog Changelog.rtf
pages Patch
uninstallpages Uninstall
prefix $4
language English
@pages layouts\\Pages.txt
@layout layouts\\welcome.txt
@layout layouts\\changelog.txt
@layout layouts\\installdir.txt
@layout layouts\\ready.txt
@layout layouts\\progress.txt
@layout layouts\\finish.txt
@layout layouts\\mainlayout.txt
@image images\\side.bmp
@image images\\banner.jpg
@changelog Changelog.rtf

HEAD
}

# uninstall_pages SOURCE_DIR: copies the demo's uninstall pages into the
# current folder and prints the script lines that carry them, with the
# English table (copied by test_setup) for the uninstaller's texts.
uninstall_pages() {
  cp -r "$1/examples/demo/uninstall" .
  cat <<'LINES'
uninstalllanguage English
@uninstall uninstall\Pages.txt
@uninstall uninstall\uwelcome.txt
@uninstall uninstall\uprogress.txt
@uninstall uninstall\ufinish.txt
@uninstall uninstall\umainlayout.txt
@uninstall images\side.bmp
LINES
}

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_text() {  # file fixed-text
  grep -qF -- "$2" "$1" || { cat "$1" >&2; fail "no '$2' in $(basename "$1")"; }
}
