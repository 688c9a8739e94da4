#!/usr/bin/env bash
# system_folders.sh STUB FERRYC SOURCE_DIR WORK_DIR
#
# A setup that copies one installed file into the folder of every system
# path variable (and one named with "$$"), run silently in a fresh prefix:
# each copy is where Wine keeps that folder.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
mkdir -p "$work/setup"
user_dir=$(cd "$drive_c/users" && ls -d */ | grep -vx 'Public/' | head -n1)
user_dir=users/${user_dir%/}
# The user's temporary folder as the environment names it.
temp_dir=$(wine cmd /c 'echo %TEMP%' | tr -d '\r')
temp_dir=${temp_dir#[Cc]:\\}
temp_dir=${temp_dir//\\//}

# variable  folder below drive_c
folders=(
  DESKTOP        "$user_dir/Desktop"
  COMMONDESKTOP  "users/Public/Desktop"
  COMMONPROGRAMS "ProgramData/Microsoft/Windows/Start Menu/Programs"
  APPDATA        "$user_dir/AppData/Roaming"
  LOCALAPPDATA   "$user_dir/AppData/Local"
  COMMONAPPDATA  "ProgramData"
  COMMONFILES    "Program Files/Common Files"
  PROGRAMFILES32 "Program Files (x86)"
  PROGRAMFILES64 "Program Files"
  WINDIR         "windows"
  SYSDIR         "windows/system32"
  TEMP           "$temp_dir"
)

cd "$work/setup"
mkdir -p Files
printf 'read me' > Files/readme.txt
test_setup "$src" "Ferry Folders" folders_setup.exe FF > folders.fss
uninstall_pages "$src" >> folders.fss
printf 'file Files\\\n' >> folders.fss
for ((i = 0; i < ${#folders[@]}; i += 2)); do
  printf 'copyfile "$INSTDIR\\readme.txt" "$%s\\ferry-folders\\%s.txt"\n' "${folders[i]}" "${folders[i]}" >> folders.fss
done
printf 'copyfile "$INSTDIR\\readme.txt" "$INSTDIR\\cost$$5.txt"\n' >> folders.fss
ferryc compile "$(tool_path folders.fss)" --stub "$(tool_path "$stub")" -o "$(tool_path "$work/folders_setup.exe")" -q --werror

status=0
wine "$work/folders_setup.exe" /S '/D=C:\Ferry Folders' 2> "$work/run.err" > /dev/null || status=$?
[ "$status" = 0 ] || { cat "$work/run.err" >&2; fail "exit code $status"; }
for ((i = 0; i < ${#folders[@]}; i += 2)); do
  copy="$drive_c/${folders[i + 1]}/ferry-folders/${folders[i]}.txt"
  [ "$(cat "$copy" 2>/dev/null)" = 'read me' ] || { find "$drive_c" -name "${folders[i]}.txt" >&2; fail "\$${folders[i]}: no copy at $copy"; }
done
[ "$(cat "$drive_c/Ferry Folders/cost\$5.txt" 2>/dev/null)" = 'read me' ] || { ls "$drive_c/Ferry Folders" >&2; fail '$$: no cost$5.txt'; }
echo "system folders: ok"
