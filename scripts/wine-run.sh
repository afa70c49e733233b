#!/usr/bin/env bash
# Runs one Windows program of the build under Wine with the project's prefix and locale.
# CTest uses it as the cross-compiling emulator.
set -e
exe=$1; shift
if [ -z "${ZOR_BUILD:-}" ]; then
  # The program lives in <build>/bin: its build folder owns the Wine prefix.
  ZOR_BUILD=$(cd "$(dirname "$exe")/.." && pwd)
fi
export ZOR_BUILD
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
exec env $ZOR_LOCALE wine "$exe" "$@"
