#!/usr/bin/env bash
# check-layers must refuse an include against the order: a formats file that
# includes an engine header, an engine file that includes <windows.h>, and a
# tool that reaches the wizard.
set -u
check=$1 work=$2
fail=0
refused() {  # refused FILE INCLUDE-LINE EXPECTED-TEXT
  rm -rf "$work" && mkdir -p "$work/$(dirname "$1")" "$work/docs"
  cp "$(dirname "$check")/../docs/architecture.md" "$work/docs/"
  printf '%s\n' "$2" > "$work/$1"
  out=$("$check" "$work" 2>&1)
  if [ $? -eq 0 ] || ! grep -qF "$3" <<<"$out"; then
    echo "FAIL: $1 with '$2' was not refused: $out"; fail=1
  fi
}
refused src/formats/pak/a.cpp '#include "engine/setup_context.h"' 'formats may not include "engine/setup_context.h"'
refused src/engine/a.cpp '#include <windows.h>' '<windows.h> outside platform, views and app'
refused tools/ferryc/a.cpp '#include "wizard/wizard_model.h"' 'tools may not include "wizard/wizard_model.h"'
# and a tree that keeps the order passes
rm -rf "$work" && mkdir -p "$work/src/engine" "$work/docs"
cp "$(dirname "$check")/../docs/architecture.md" "$work/docs/"
echo '#include "formats/pak/pak_reader.h"' > "$work/src/engine/a.cpp"
"$check" "$work" >/dev/null || { echo "FAIL: an engine file including formats was refused"; fail=1; }
exit $fail
