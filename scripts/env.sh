# Shared settings of the project's scripts: build folder, Wine prefix and the Wine environment.
# Sourced, not run.
ZOR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZOR_BUILD=${ZOR_BUILD:-$ZOR_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$ZOR_BUILD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts: they would hang a headless run.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Czech user locale: code page 1250, ',' decimals, NBSP grouping, ';' list separator.
# Set for Wine alone (through env), so that the shell never complains before the locale exists.
ZOR_LOCALE="LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8"
