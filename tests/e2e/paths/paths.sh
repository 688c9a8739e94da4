#!/usr/bin/env bash
# paths.sh STUB FERRYC SOURCE_DIR WORK_DIR CODEPAGE   (CODEPAGE: 1252 or 1251, the prefix's, from LC_ALL)
#
# One small setup, run silently in a fresh prefix:
#   download  copied to "C:\下载 folder\" (no code page here holds it) and
#             run from there: exit code 0, and the uninstaller it writes runs;
#   refused   /D= names a folder the code page cannot hold (Cyrillic under
#             1252, Chinese under 1251): exit code 3, the folder named on
#             standard error, no folder and no registry value written;
#   long      /D= names a folder of over 300 characters (under 1251 with a
#             Cyrillic step, which that code page holds): every payload file
#             is there and in the install log, and the uninstaller removes
#             every file and folder the log records.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4 codepage=$5

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
mkdir -p "$work/setup"

# ---- the setup --------------------------------------------------------------
cd "$work/setup"
mkdir -p Files/data/nested
printf 'read me' > Files/readme.txt
printf 'alpha' > Files/data/a.dat
printf 'deep' > Files/data/nested/deep.dat
test_setup "$src" "Ferry Paths" paths_setup.exe FP > paths.fss
uninstall_pages "$src" >> paths.fss
cat >> paths.fss <<'SCRIPT'
file Files\
writeregstr HKCU "Software\Ferry Paths\" Folder "$INSTDIR"
SCRIPT
ferryc compile "$(tool_path paths.fss)" --stub "$(tool_path "$stub")" -o "$(tool_path "$work/paths_setup.exe")" -q
test -s "$work/paths_setup.exe"

run() {  # name program args...: runs silently; rc and standard error kept
  local name=$1
  shift
  set +e
  wine "$@" 2> "$work/$name.err" > /dev/null
  echo $? > "$work/$name.rc"
  set -e
  tr -d '\r' < "$work/$name.err" > "$work/$name.txt"
}
expect_rc() {  # name code
  [ "$(cat "$work/$1.rc")" = "$2" ] || { cat "$work/$1.txt" >&2; fail "$1: exit code $(cat "$work/$1.rc"), expected $2"; }
}
unix_path() {  # C:\... -> this machine's path
  local p=${1#[Cc]:\\}
  printf '%s\n' "$drive_c/${p//\\//}"
}
# reg.exe writes in the OEM code page: 866 beside 1251, 437 beside 1252.
if [ "$codepage" = 1251 ]; then oem=CP866; else oem=CP437; fi
reg_value() {  # key name
  wine reg query "$1" /v "$2" 2>/dev/null | iconv -f $oem -t UTF-8 | tr -d '\r' | sed -n 's/.*REG_SZ    //p'
}
reg_folder() { reg_value 'HKCU\Software\Ferry Paths' Folder; }
payload=(readme.txt data/a.dat data/nested/deep.dat)
# The install log's files or folders, $INSTDIR expanded, one backslash apart.
logged() {  # name file|folder
  sed -n "s/^$2 //p" "$work/$1.log" | while IFS= read -r p; do
    p=${p/\$INSTDIR/"$folder"}
    printf '%s\n' "$p" | sed 's/\\\\*/\\/g'
  done
}

# Installs into FOLDER and checks files, log and registry; then uninstalls
# with the uninstaller the install wrote and checks that what the log
# records is gone.
install_and_uninstall() {  # name setup-path folder
  local name=$1 setup=$2 folder=$3 inst f p
  inst=$(unix_path "$folder")
  run "$name" "$setup" /S "/D=$folder"
  expect_rc "$name" 0
  for f in "${payload[@]}"; do
    cmp -s "$work/setup/Files/$f" "$inst/$f" || fail "$name: $f not installed in $inst"
  done
  [ "$(reg_folder)" = "$folder" ] || fail "$name: registry holds '$(reg_folder)'"
  # Read from a copy: ferryc takes its arguments, and prints, in the code page.
  cp "$inst/FP_install.log" "$work/$name.install.log"
  ferryc log "$(tool_path "$work/$name.install.log")" | iconv -f "CP$codepage" -t UTF-8 | tr -d '\r' > "$work/$name.log"
  logged "$name" file > "$work/$name.files"
  logged "$name" folder > "$work/$name.folders"
  for f in readme.txt 'data\a.dat' 'data\nested\deep.dat'; do
    grep -qxF "$folder$f" "$work/$name.files" || { cat "$work/$name.log" >&2; fail "$name: $f not in the install log"; }
  done
  grep -qxF "${folder}data\\nested\\" "$work/$name.folders" || { cat "$work/$name.log" >&2; fail "$name: folder not logged"; }

  local uninstaller
  uninstaller=$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ferry Paths' \
    QuietUninstallString | sed -n 's/^"\(.*\)" \/S$/\1/p')
  [ -n "$uninstaller" ] || fail "$name: no uninstall registration"
  run "$name.uninstall" "$uninstaller" /S
  expect_rc "$name.uninstall" 0
  while IFS= read -r p; do
    p=$(unix_path "$p")
    [ ! -e "$p" ] || [ "$p" = "$(unix_path "$uninstaller")" ] || fail "$name: still there after the uninstall: $p"
  done < "$work/$name.files"
  while IFS= read -r p; do
    [[ $folder == "$p"* ]] && continue  # holds the uninstaller until it has gone
    [ ! -e "$(unix_path "$p")" ] || fail "$name: folder still there after the uninstall: $p"
  done < "$work/$name.folders"
  [ -z "$(reg_folder)" ] || fail "$name: the registry value is still there"
  # Once it has ended, the uninstaller goes with the folders it kept, and its
  # helper leaves nothing in the temporary folder.
  local temp i
  temp=$(unix_path "$(wine cmd /c 'echo %TEMP%' | tr -d '\r')")
  for i in $(seq 60); do
    [ -e "$(unix_path "$uninstaller")" ] || [ -e "$(unix_path "$folder")" ] ||
      compgen -G "$temp/ferry-remove-*" >/dev/null || break
    sleep 0.5
  done
  [ ! -e "$(unix_path "$uninstaller")" ] || fail "$name: the uninstaller is still there after 30 s"
  [ ! -e "$(unix_path "$folder")" ] || fail "$name: the install folder is still there after 30 s"
  ! compgen -G "$temp/ferry-remove-*" >/dev/null || fail "$name: the removal left $(ls "$temp"/ferry-remove-*)"
}

# ---- download: run from a folder no code page here holds -------------------
download='C:\下载 folder'
mkdir -p "$(unix_path "$download")"
cp "$work/paths_setup.exe" "$(unix_path "$download")/paths_setup.exe"
install_and_uninstall download "$download\\paths_setup.exe" 'C:\Ferry Paths\'

# ---- refused: an install folder the code page cannot hold --------------------
if [ "$codepage" = 1251 ]; then foreign='C:\数据 folder\'; else foreign='C:\Карта folder\'; fi
run refused "$download\\paths_setup.exe" /S "/D=$foreign"
expect_rc refused 3
expect_text "$work/refused.txt" "\"$foreign\" cannot be used"
[ ! -e "$(unix_path "$foreign")" ] || fail "refused: the folder was created"
[ -z "$(reg_folder)" ] || fail "refused: a registry value was written"

# ---- long: payload paths past 260 characters ---------------------------------
long='C:\Ferry Long'
[ "$codepage" = 1251 ] && long="$long\\Карта"
while [ ${#long} -lt 300 ]; do long="$long\\$(printf 'segment%.0s' {1..6})"; done
long="$long\\"
install_and_uninstall long "$work/paths_setup.exe" "$long"
[ ${#long} -gt 300 ] || fail "long: the folder is only ${#long} characters"
echo "ok: download, refused and long under code page $codepage"
