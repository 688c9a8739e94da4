#!/usr/bin/env bash
# install_commands.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# A setup whose script uses every file, jump and install-log command is
# compiled with ferryc.exe and installed silently, three times, into a fresh
# Wine prefix:
#   ok      the whole script runs: the tree and the install log are what the
#           script says; exit code 4 (its file line with a wrong parameter
#           count is a step not done);
#   failed  a flag file sends the run into its "failure" line: exit code 1,
#           the failure text on standard error, and the run undone: no
#           install folder, no log;
#   locked  a payload file cannot be written (a folder is in its place):
#           exit code 1 and the file named, and the run undone: only what
#           was there before it stays.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
mkdir -p "$work/setup"

expect_file() {  # path-below-drive_c content
  [ -f "$drive_c/$1" ] || fail "missing $1"
  [ "$(cat "$drive_c/$1")" = "$2" ] || fail "$1 holds '$(cat "$drive_c/$1")', expected '$2'"
}
expect_absent() { [ ! -e "$drive_c/$1" ] || fail "$1 should not exist"; }
expect_dir() { [ -d "$drive_c/$1" ] || fail "missing folder $1"; }
expect_line() {  # file fixed-text
  grep -qxF -- "$2" "$1" || { cat "$1" >&2; fail "no line '$2' in $(basename "$1")"; }
}

# ---- the setup --------------------------------------------------------------
cd "$work/setup"
mkdir -p Files/data Extras Cond1 Cond2 Bad
printf 'read me' > Files/readme.txt
printf 'alpha' > Files/data/a.dat
printf 'beta' > Files/data/b.dat
printf 'notes' > Extras/notes.txt
printf 'one' > Cond1/c1.txt
printf 'two' > Cond2/c2.txt
printf 'bad' > Bad/bad.txt

test_setup "$src" "Ferry Install Test" install_test.exe FIT > install.fss
cat >> install.fss <<'SCRIPT'
; Each case installs into a folder of its own.
sidebyside
; group 1 into the install folder, group 2 into a subfolder
file Files\
file Extras\ extras
; the key does not exist: created, read as empty, which matches ""
file Cond1\ cond1 HKCU "Software\Ferry Install Test\" Flag "" 1
; the same match negated: nothing
file Cond2\ cond2 HKCU "Software\Ferry Install Test\" Flag "" false
; four parameters: the count message, and the run goes on
file Bad\ bad HKCU "Software\Ferry Install Test\"

iffileexists "$INSTDIR\readme.txt" have_readme 0
failure
have_readme:
; a folder is no file
iffileexists "$INSTDIR\data" 0 data_is_folder
failure
data_is_folder:

createdirectory "$INSTDIR\saves"
createdirectory "$INSTDIR\logs"
copyfile "$INSTDIR\data\a.dat" "$INSTDIR\backup\a.dat"
rename "$INSTDIR\data\b.dat" "$INSTDIR\data\b2.dat"
copyfile "$INSTDIR\readme.txt" "$INSTDIR\scratch\deep\x.txt"
rmdir "$INSTDIR\scratch" 1
delete "$INSTDIR\data\a.dat"

; the run waits for the program: its file is there on the next line
execute "C:\windows\system32\cmd.exe" "/c echo ran> C:\FerryE2E\executed.txt"
iffileexists "C:\FerryE2E\executed.txt" executed 0
failure
executed:

uninstalllogsave "$INSTDIR\logs" mid_
uninstalllogload "$INSTDIR\logs" mid_
goto past
failure
past:

iffileexists "C:\FerryE2E\fail.flag" 0 done
failure
createdirectory "$INSTDIR\never"
done:
SCRIPT

# ferryc.exe runs under Wine and takes Windows paths; a native ferryc works too.
use_ferryc "$ferryc_exe"
ferryc compile install.fss --stub "$(tool_path "$stub")" -o install_test.exe -q
test -s install_test.exe
mkdir -p "$drive_c/FerryE2E"

run_setup() {  # name: installs to C:\FerryE2E\<name>, output in $work/<name>.err, exit code in $rc
  rm -f "$drive_c/FerryE2E/executed.txt"
  set +e
  wine "$work/setup/install_test.exe" /S "/D=C:\\FerryE2E\\$1" 2> "$work/$1.err" > /dev/null
  rc=$?
  set -e
  sed -i 's/\r$//' "$work/$1.err"
}

log_of() {  # name: the deciphered install log in $work/<name>.log
  ferryc log "$(tool_path "$drive_c/FerryE2E/$1/FIT_install.log")" | sed 's/\r$//' > "$work/$1.log"
}

# ---- ok ---------------------------------------------------------------------
run_setup ok
# The file line with a wrong parameter count extracts nothing: a step not done.
[ "$rc" = 4 ] || { cat "$work/ok.err" >&2; fail "ok: exit code $rc"; }
expect_file FerryE2E/ok/readme.txt 'read me'
expect_file FerryE2E/ok/data/b2.dat 'beta'
expect_absent FerryE2E/ok/data/b.dat
expect_absent FerryE2E/ok/data/a.dat
expect_file FerryE2E/ok/backup/a.dat 'alpha'
expect_file FerryE2E/ok/extras/notes.txt 'notes'
expect_file FerryE2E/ok/cond1/c1.txt 'one'
expect_absent FerryE2E/ok/cond2
expect_absent FerryE2E/ok/bad
expect_dir FerryE2E/ok/saves
expect_absent FerryE2E/ok/scratch
expect_absent FerryE2E/ok/never
[ -f "$drive_c/FerryE2E/executed.txt" ] || fail "execute did not run cmd"
[ -f "$drive_c/FerryE2E/ok/logs/mid_install.log" ] || fail "uninstalllogsave wrote nothing"
expect_text "$work/ok.err" 'TFileCommand.SFXProcess - Param Count Invalid!!!'
expect_text "$work/ok.err" 'Status: Extracting readme.txt'
expect_text "$work/ok.err" 'Status: Copying File a.dat'
# 5 of the 7 payload files: the groups whose condition failed or whose line was refused do not step
expect_text "$work/ok.err" 'Progress: 71%'
expect_text "$work/ok.err" 'Setup finished, but not every step was done'
wine reg query 'HKCU\Software\Ferry Install Test' > /dev/null 2>&1 || fail "the condition's key was not created"

log_of ok
# Every payload file before it was written, folded at the install folder
# ("C:\FerryE2E\ok\"); files of a subfolder keep the doubled separator of
# folder + "\" + name.
expect_line "$work/ok.log" 'file $INSTDIR\readme.txt'
expect_line "$work/ok.log" 'file $INSTDIR\data\a.dat'
expect_line "$work/ok.log" 'file $INSTDIR\data\b.dat'
expect_line "$work/ok.log" 'file $INSTDIRextras\\notes.txt'
expect_line "$work/ok.log" 'file $INSTDIRcond1\\c1.txt'
expect_line "$work/ok.log" 'file $INSTDIRbackup\a.dat'
expect_line "$work/ok.log" 'file $INSTDIRscratch\deep\x.txt'
if grep -q 'c2.txt\|bad.txt' "$work/ok.log"; then fail "files of skipped groups are logged"; fi
# Folders: the install folder first, then each one as it was created.
sed -n 's/^folder //p' "$work/ok.log" > "$work/ok.folders"
cat > "$work/ok.folders.expected" <<'EOF2'
C:\FerryE2E\ok\
C:\FerryE2E\ok\
C:\FerryE2E\ok\data\
C:\FerryE2E\ok\extras\
C:\FerryE2E\ok\cond1\
C:\FerryE2E\ok\saves
C:\FerryE2E\ok\saves
C:\FerryE2E\ok\logs
C:\FerryE2E\ok\logs
C:\FerryE2E\ok\backup\
C:\FerryE2E\ok\scratch\
C:\FerryE2E\ok\scratch\deep\
EOF2
diff "$work/ok.folders.expected" "$work/ok.folders" || fail "folders of the install log"
expect_line "$work/ok.log" '# 7 files, 0 registry values, 12 folders'
# The log saved in the middle holds what was recorded up to that line.
ferryc log "$(tool_path "$drive_c/FerryE2E/ok/logs/mid_install.log")" | sed 's/\r$//' > "$work/mid.log"
diff "$work/mid.log" "$work/ok.log" || fail "the mid-run log differs from the final one"

# ---- failed -------------------------------------------------------------------
touch "$drive_c/FerryE2E/fail.flag"
run_setup failed
rm -f "$drive_c/FerryE2E/fail.flag"
[ "$rc" = 1 ] || { cat "$work/failed.err" >&2; fail "failed: exit code $rc"; }
expect_text "$work/failed.err" 'Setup failed to install patch.'
expect_text "$work/failed.err" 'Every change of the run was undone'
expect_absent FerryE2E/failed
if grep -q 'Setup finished' "$work/failed.err"; then fail "failed: reported as finished"; fi

# ---- locked -------------------------------------------------------------------
# A folder stands where a payload file goes: the file cannot be created.
mkdir -p "$drive_c/FerryE2E/locked/extras/notes.txt"
run_setup locked
[ "$rc" = 1 ] || { cat "$work/locked.err" >&2; fail "locked: exit code $rc"; }
expect_text "$work/locked.err" '1 file could not be written:'
expect_text "$work/locked.err" 'C:\FerryE2E\locked\extras\notes.txt'
expect_text "$work/locked.err" 'Every change of the run was undone'
expect_dir FerryE2E/locked/extras/notes.txt
left=$(cd "$drive_c/FerryE2E/locked" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./extras ./extras/notes.txt " ] || fail "locked: the undone run left: $left"

echo "e2e install: all checks passed"
