#!/usr/bin/env bash
# uninstall_demo.sh STUB FERRYC LINK_READER SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# The demo patch (examples/demo) is compiled onto the stub and installed
# silently into a fresh Wine prefix; everything it puts in place is checked
# (files, folders, registry values, the URL protocol, the start-menu links,
# the uninstall registration). Then the uninstaller the install wrote is run
# silently, the way Windows would start it, and nothing of the install may be
# left: files, folders, values, keys, links, registration, the uninstaller
# and its folder, which go once the uninstaller has ended.
#   keep     a file the user saved in an installed folder stays, with that
#            folder and the install folder around it, and nothing else;
#   clean    without it the install folder goes too, also when the
#            uninstaller is started by another path to its file;
#   no-log   a copy of the uninstaller started after the uninstall finds no
#            install log: start-up error, exit code 3.
set -euo pipefail
stub=$1 ferryc_exe=$2 link_reader=$3 src=$4 work=$5
started=$(date +%s.%N)

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"

# A Windows path on drive C: as a path of this machine.
unix_path() {
  local p=${1#[Cc]:\\}
  p=${p//\\//}
  echo "$drive_c/$p"
}
# A registry value's data; status 1 when the key or the value is missing.
reg_get() {  # key name ('' = the default value)
  local out data
  if [ -z "$2" ]; then
    out=$(wine reg query "$1" /ve 2>"$work/reg.err") || return 1
  else
    out=$(wine reg query "$1" /v "$2" 2>"$work/reg.err") || return 1
  fi
  data=$(printf '%s\n' "$out" | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    \(.*\)$/\1/p' | head -n 1)
  [ "$data" != "(value not set)" ] || return 1
  printf '%s' "$data"
}
reg_type() {  # key name
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n 's/^    .*    \(REG_[A-Z_]*\)    .*$/\1/p' | head -n 1
}
# A value that must be there: a query that fails is tried once more (the
# setup has ended, so a value really missing stays missing), and a failure
# shows what wine said and the whole key.
reg_present() {  # key name
  reg_get "$1" "$2" && return 0
  echo "note: wine reg query $1 /v \"$2\" failed once: $(cat "$work/reg.err")" >&2
  sleep 1
  reg_get "$1" "$2" && return 0
  cat "$work/reg.err" >&2
  wine reg query "$1" >&2 || true
  return 1
}
expect_reg() {  # key name expected-data
  local got
  got=$(reg_present "$1" "$2") || fail "registry value $1 \"$2\" missing"
  [ "$got" = "$3" ] || fail "registry value $1 \"$2\" holds '$got', expected '$3'"
}
key_exists() { wine reg query "$1" >/dev/null 2>&1; }

# ---- the setup ----------------------------------------------------------------
use_ferryc "$ferryc_exe"
setup="$work/tidewater_patch.exe"
ferryc compile "$(tool_path "$src/examples/demo/demo.fss")" --stub "$(tool_path "$stub")" -o "$(tool_path "$setup")" -q
test -s "$setup"

instdir='C:\Tidewater Atlas\'
inst=$(unix_path "$instdir")
inst=${inst%/}
uninstaller="${instdir}Tidewater_Uninstall.exe"
appdata=$(wine cmd /c 'echo %APPDATA%' | tr -d '\r')
programs="$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\"
menu=$(unix_path "${programs}Tidewater Atlas")
regkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewater Atlas'
temp=$(unix_path "$(wine cmd /c 'echo %TEMP%' | tr -d '\r')")

# What the demo puts in place, from its script and payload folders, as
# paths of this machine: the payload files with their folders, the copy
# "copyfile" makes, the folder "createdirectory" makes and the three links.
payload_list() {  # folder target-subfolder
  (cd "$src/examples/demo/$1" && find . -type f | sed "s|^\./|$inst/$2|")
}
{
  payload_list Files ''
  payload_list Extras 'extras/'
  payload_list Legacy 'legacy/'
  echo "$inst/backup/atlas.cfg"
  for l in 'Read me' Manual 'Uninstall Tidewater Atlas'; do echo "$menu/$l.lnk"; done
} | sed 's|//*|/|g' | sort > "$work/files.expected"
{
  echo "$inst"
  (cd "$src/examples/demo/Files" && find . -mindepth 1 -type d | sed "s|^\./|$inst/|")
  (cd "$src/examples/demo/Extras" && find . -type d | sed "s|^\.|$inst/extras|")
  echo "$inst/legacy"
  echo "$inst/saves"
  echo "$inst/backup"
  echo "$menu"
} | sed 's|//*|/|g; s|/$||' | sort -u > "$work/folders.expected"

# The install log, deciphered; its files and folders as paths of this machine.
read_log() {  # name
  ferryc log "$(tool_path "$inst/Tidewater_install.log")" | tr -d '\r' > "$work/$1.log"
  sed -n 's/^file //p' "$work/$1.log" | while IFS= read -r p; do
    p=${p/\$INSTDIR/"$instdir"}
    unix_path "${p/\$SMPROGRAMS/"$programs"}"
  done | sed 's|//*|/|g' | sort > "$work/$1.files"
  sed -n 's/^folder //p' "$work/$1.log" | while IFS= read -r p; do unix_path "$p"; done |
    sed 's|//*|/|g; s|/$||' | sort -u > "$work/$1.folders"
  grep '^registry ' "$work/$1.log" > "$work/$1.registry" || true
}

install_demo() {  # name
  set +e
  wine "$setup" /S "/D=$instdir" 2> "$work/$1.install.err" > /dev/null
  local rc=$?
  set -e
  tr -d '\r' < "$work/$1.install.err" > "$work/$1.install.txt"
  [ "$rc" = 0 ] || { cat "$work/$1.install.txt" >&2; fail "$1: the install ended with exit code $rc"; }
}

check_installed() {  # name
  local name=$1 f d line root key value data
  expect_text "$work/$name.install.txt" 'Tidewater Atlas: Install the 1998 survey maps of the coast as well?'
  expect_text "$work/$name.install.txt" '(answered OK)'
  expect_text "$work/$name.install.txt" 'Status: Registering Tidewater Atlas...'
  expect_text "$work/$name.install.txt" "Setup finished: installed to \"$instdir\"."
  if grep -q '<%\|<LANG\|NOT FOUND' "$work/$name.install.txt"; then fail "$name: a text shown unresolved"; fi

  # Files and folders: the log records exactly what the demo makes, and all of it is there.
  read_log "$name"
  diff "$work/files.expected" "$work/$name.files" || fail "$name: the install log's files"
  diff "$work/folders.expected" "$work/$name.folders" || fail "$name: the install log's folders"
  while IFS= read -r f; do [ -f "$f" ] || fail "$name: missing file $f"; done < "$work/files.expected"
  while IFS= read -r d; do [ -d "$d" ] || fail "$name: missing folder $d"; done < "$work/folders.expected"
  (cd "$src/examples/demo/Files" && find . -type f) | while IFS= read -r f; do
    cmp -s "$src/examples/demo/Files/$f" "$inst/$f" || fail "$name: $f differs from the payload"
  done
  cmp -s "$src/examples/demo/Legacy/coast-1998.map" "$inst/legacy/coast-1998.map" || fail "$name: legacy map differs"
  cmp -s "$src/examples/demo/Files/atlas.cfg" "$inst/backup/atlas.cfg" || fail "$name: the backup differs"
  [ -f "$inst/Tidewater_install.log" ] || fail "$name: no install log"
  [ -f "$inst/Tidewater_Uninstall.exe" ] || fail "$name: no uninstaller"

  # Registry values: every recorded one is there with its data expanded.
  [ "$(wc -l < "$work/$name.registry")" = 7 ] || { cat "$work/$name.registry" >&2; fail "$name: 7 registry records expected"; }
  while IFS= read -r line; do
    [[ $line =~ ^registry\ \"([^\"]*)\"\ \"([^\"]*)\"\ \"([^\"]*)\"\ \"([^\"]*)\"$ ]] || fail "record $line"
    root=${BASH_REMATCH[1]} key=${BASH_REMATCH[2]%\\} value=${BASH_REMATCH[3]} data=${BASH_REMATCH[4]}
    reg_present "$root\\$key" "$value" > /dev/null || fail "$name: registry value $root\\$key \"$value\" missing"
    [ "$root" = HKCR ] || expect_reg "$root\\$key" "$value" "${data/\$INSTDIR/"$instdir"}"
  done < "$work/$name.registry"
  expect_reg 'HKCU\Software\Tidewater Atlas' Version 1.2
  expect_reg 'HKCU\Software\Tidewater Atlas' PatchFolder "$instdir"
  expect_reg 'HKLM\Software\Tidewater Atlas\Patches\1.2' Folder "$instdir"
  # The URL protocol: four keys, four values.
  expect_reg 'HKCR\tidewater' '' 'URL:tidewater Protocol'
  expect_reg 'HKCR\tidewater' 'URL Protocol' ''
  expect_reg 'HKCR\tidewater\DefaultIcon' '' "${instdir}atlas.exe"
  expect_reg 'HKCR\tidewater\shell\open\command' '' "\"${instdir}atlas.exe\" \"-open\" \"%1\""

  # The links, read back through the shell.
  wine "$link_reader" "$(tool_path "$menu/Read me.lnk")" | tr -d '\r' > "$work/$name.readme.lnk.txt" ||
    fail "$name: Read me.lnk does not load as a link"
  printf '%s\n' "target=${instdir}readme.txt" 'arguments=' "workdir=${instdir%\\}" 'icon=,0' 'show=1' |
    diff - "$work/$name.readme.lnk.txt" || fail "$name: Read me.lnk"
  wine "$link_reader" "$(tool_path "$menu/Manual.lnk")" | tr -d '\r' > "$work/$name.manual.lnk.txt" ||
    fail "$name: Manual.lnk does not load as a link"
  printf '%s\n' "target=${instdir}docs\\manual.txt" 'arguments=' "workdir=${instdir}docs" "icon=${instdir}atlas.exe,0" \
    'show=1' | diff - "$work/$name.manual.lnk.txt" || fail "$name: Manual.lnk"
  wine "$link_reader" "$(tool_path "$menu/Uninstall Tidewater Atlas.lnk")" | tr -d '\r' > "$work/$name.un.lnk.txt" ||
    fail "$name: the uninstaller's link does not load as a link"
  printf '%s\n' "target=$uninstaller" 'arguments=' "workdir=${instdir%\\}" 'icon=,0' 'show=1' |
    diff - "$work/$name.un.lnk.txt" || fail "$name: the uninstaller's link"

  # The uninstall registration: eight values, and Windows lists the product.
  expect_reg "$regkey" DisplayName 'Tidewater Atlas'
  expect_reg "$regkey" UninstallString "\"$uninstaller\""
  expect_reg "$regkey" QuietUninstallString "\"$uninstaller\" /S"
  expect_reg "$regkey" DisplayIcon "$uninstaller"
  expect_reg "$regkey" InstallLocation "${instdir%\\}"
  local bytes kib
  bytes=$(find "$src/examples/demo/Files" "$src/examples/demo/Extras" "$src/examples/demo/Legacy" -type f -printf '%s\n' |
    awk '{ s += $1 } END { print s }')
  # The groups of the package and VFS updates (4 and on) count as stored.
  bytes=$((bytes + $(ferryc list "$(tool_path "$setup")" | tr -d '\r' |
    awk '$1 ~ /^[0-9]+$/ && $2 > 3 { s += $5 } END { print s + 0 }')))
  kib=$(( (bytes + 1023) / 1024 ))
  expect_reg "$regkey" EstimatedSize "$(printf '0x%x' "$kib")"
  [ "$(reg_type "$regkey" EstimatedSize)" = REG_DWORD ] || fail "$name: EstimatedSize is no REG_DWORD"
  expect_reg "$regkey" NoModify 0x1
  expect_reg "$regkey" NoRepair 0x1
  wine uninstaller --list 2>/dev/null | tr -d '\r' > "$work/$name.list"
  grep -q '^Tidewater Atlas|' "$work/$name.list" || { cat "$work/$name.list" >&2; fail "$name: not in the uninstaller list"; }
}

# The uninstaller as the registration names it, or by the path given,
# started silently.
run_uninstaller() {  # name [program]
  local quiet program=${2:-}
  quiet=$(reg_present "$regkey" QuietUninstallString) || fail "$1: no QuietUninstallString"
  [[ $quiet =~ ^\"([^\"]+)\"\ /S$ ]] || fail "$1: QuietUninstallString '$quiet'"
  [ -n "$program" ] || program=${BASH_REMATCH[1]}
  set +e
  wine "$program" /S 2> "$work/$1.uninstall.err" > /dev/null
  local rc=$?
  set -e
  tr -d '\r' < "$work/$1.uninstall.err" > "$work/$1.uninstall.txt"
  [ "$rc" = 0 ] || { cat "$work/$1.uninstall.txt" >&2; fail "$1: the uninstall ended with exit code $rc"; }
  expect_text "$work/$1.uninstall.txt" 'Status: 0 of 35 items remaining'
  if grep -q 'Status: Status:' "$work/$1.uninstall.txt"; then fail "$1: a status line repeats its prefix"; fi
  expect_text "$work/$1.uninstall.txt" 'Uninstall finished: "Tidewater Atlas" was removed.'
  expect_text "$work/$1.uninstall.txt" 'Status: Processing Registry entries: 7 of 7 files'
  if grep -q '<%\|<LANG\|NOT FOUND' "$work/$1.uninstall.txt"; then fail "$1: a text shown unresolved"; fi
  # The files' lines name the file being removed, never an empty name.
  if grep -q 'Processing :' "$work/$1.uninstall.txt"; then fail "$1: a status line names nothing"; fi
  grep -qE 'Status: Processing [^ :]+\.[A-Za-z0-9]+: [0-9]+ of [0-9]+ files' "$work/$1.uninstall.txt" ||
    fail "$1: no status line names a file"
}

# The uninstaller removes itself once it has ended: wait for its file and for
# the copy that removes it to go.
wait_for_self_removal() {  # name
  local i
  for i in $(seq 1 60); do
    if [ ! -e "$inst/Tidewater_Uninstall.exe" ] && ! ls "$temp"/ferry-remove-* >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.5
  done
  fail "$1: the uninstaller or its removing copy is still there after 30 s"
}

check_removed() {  # name kept-folder...
  local name=$1 f d line root key value
  shift
  while IFS= read -r f; do [ ! -e "$f" ] || fail "$name: still there: $f"; done < "$work/files.expected"
  while IFS= read -r d; do
    local keep=0 k
    for k in "$@"; do [ "$d" = "$k" ] && keep=1; done
    if [ $keep = 1 ]; then
      [ -d "$d" ] || fail "$name: folder $d should have stayed"
    else
      [ ! -e "$d" ] || fail "$name: folder still there: $d"
    fi
  done < "$work/folders.expected"
  [ ! -e "$inst/Tidewater_install.log" ] || fail "$name: the install log is still there"
  [ ! -e "$inst/Tidewater_Uninstall.exe" ] || fail "$name: the uninstaller is still there"
  while IFS= read -r line; do
    [[ $line =~ ^registry\ \"([^\"]*)\"\ \"([^\"]*)\"\ \"([^\"]*)\"\ \"([^\"]*)\"$ ]] || fail "record $line"
    root=${BASH_REMATCH[1]} key=${BASH_REMATCH[2]%\\} value=${BASH_REMATCH[3]}
    if reg_get "$root\\$key" "$value" > /dev/null; then fail "$name: value $root\\$key \"$value\" still there"; fi
  done < "$work/$name.registry"
  # The keys the install created, emptied, go with their values; so does
  # the registration.
  for key in 'HKCU\Software\Tidewater Atlas' 'HKLM\Software\Tidewater Atlas' 'HKCR\tidewater' \
             'HKLM\Software\Classes\tidewater' "$regkey"; do
    if key_exists "$key"; then wine reg query "$key" /s >&2 || true; fail "$name: key $key still there"; fi
  done
  key_exists 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' || fail "$name: the Uninstall key itself went"
  wine uninstaller --list 2>/dev/null | tr -d '\r' > "$work/$name.list.after"
  if grep -q 'Tidewater' "$work/$name.list.after"; then fail "$name: still in the uninstaller list"; fi
}

# ---- keep: a file the user saved stays, with its folders ------------------------
install_demo keep
check_installed keep
printf 'slot 1' > "$inst/saves/slot1.sav"
cp "$inst/Tidewater_Uninstall.exe" "$work/uninstaller-copy.exe"
run_uninstaller keep
wait_for_self_removal keep
check_removed keep "$inst" "$inst/saves"
(cd "$inst" && find . | sort) > "$work/keep.left"
printf '%s\n' . ./saves ./saves/slot1.sav | diff - "$work/keep.left" || fail "keep: more than the user's file is left"
[ "$(cat "$inst/saves/slot1.sav")" = 'slot 1' ] || fail "keep: the user's file changed"

# ---- clean: nothing of the user's, the install folder goes too ------------------
# Started by a path of this machine (drive Z: to the program): still the
# registered uninstaller, which removes itself.
rm -rf "$inst"
install_demo clean
check_installed clean
run_uninstaller clean "$inst/Tidewater_Uninstall.exe"
wait_for_self_removal clean
check_removed clean
[ ! -e "$inst" ] || fail "clean: the install folder is still there"

# ---- no-log: the uninstaller without its install log -----------------------------
mkdir -p "$inst"
cp "$work/uninstaller-copy.exe" "$inst/Tidewater_Uninstall.exe"
set +e
wine "$uninstaller" /S 2> "$work/no-log.err" > /dev/null
rc=$?
set -e
tr -d '\r' < "$work/no-log.err" > "$work/no-log.txt"
[ "$rc" = 3 ] || { cat "$work/no-log.txt" >&2; fail "no-log: exit code $rc"; }
expect_text "$work/no-log.txt" 'Error: install log is missing'
sleep 1
[ -f "$inst/Tidewater_Uninstall.exe" ] || fail "no-log: an uninstaller that did no work removed itself"

echo "e2e uninstall: all checks passed in $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"
