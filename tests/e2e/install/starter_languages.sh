#!/usr/bin/env bash
# starter_languages.sh STUB FERRYC SOURCE_DIR WORK_DIR   (FERRYC: ferryc.exe or a native ferryc)
#
# The starter of `ferryc new`, compiled as it is written, installed and
# removed silently under each of its languages' system locales: the run's
# lines show that language's texts (the script's message, text 21, and the
# uninstaller's status, text 24), so the setup and the uninstaller each
# picked the table that lists the system's language.
set -euo pipefail
stub=$1 ferryc_exe=$2 src=$3 work=$4

source "$src/tests/e2e/e2e_common.sh"
fresh_prefix "$work"
use_ferryc "$ferryc_exe"
cd "$work"
ferryc new "$(tool_path starter)" > /dev/null
ferryc compile "$(tool_path starter/setup.fss)" --stub "$(tool_path "$stub")" -q
test -s starter/setup.exe

# locale | text 21 | text 24
cases=(
  "en_US.UTF-8|Preparing the installation...|Registry entries"
  "de_DE.UTF-8|Installation wird vorbereitet...|Registrierungseinträge"
  "fr_FR.UTF-8|Préparation de l'installation...|Entrées du registre"
  "es_ES.UTF-8|Preparando la instalación...|Entradas del registro"
  "it_IT.UTF-8|Preparazione dell'installazione...|Voci del registro"
  "pt_BR.UTF-8|Preparando a instalação...|Entradas do registro"
  "pl_PL.UTF-8|Przygotowywanie instalacji...|Wpisy rejestru"
  "ru_RU.UTF-8|Подготовка к установке...|Записи реестра"
  "ja_JP.UTF-8|インストールを準備しています...|レジストリ エントリ"
  "zh_CN.UTF-8|正在准备安装...|注册表项"
)
for c in "${cases[@]}"; do
  IFS='|' read -r locale prepare registry <<< "$c"
  name=${locale%%.*}
  set +e
  LC_ALL=$locale wine starter/setup.exe /S "/D=C:\\Starter\\$name" 2> "$work/$name.install" > /dev/null
  rc=$?
  set -e
  [ "$rc" = 0 ] || { cat "$work/$name.install" >&2; fail "$name: the install ended with exit code $rc"; }
  expect_text "$work/$name.install" "Status: $prepare"
  set +e
  LC_ALL=$locale wine "C:\\Starter\\$name\\MyProduct_Uninstall.exe" /S 2> "$work/$name.uninstall" > /dev/null
  rc=$?
  set -e
  [ "$rc" = 0 ] || { cat "$work/$name.uninstall" >&2; fail "$name: the uninstall ended with exit code $rc"; }
  expect_text "$work/$name.uninstall" "$registry"
done
echo "starter languages: ok"
