#!/usr/bin/env bash
# Builds everything (bootstrapping a fresh machine first) and runs every test program under Wine,
# side by side, each on a virtual X display of its own. Arguments go to ctest (for example -R core).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

"$ZOR_ROOT/scripts/bootstrap.sh"
# Every test program runs on a virtual display of its own (scripts/isolated-run.sh), where no
# window manager runs: there Wine manages its windows itself.
ZOR_OWN_DISPLAY=1 zor_window_management
zor_print_queue
# The build's prefix is copied for each test program: its server ends first, so that the copies
# hold its registry as written.
wineserver -w 2>/dev/null || true
rm -rf "$ZOR_BUILD/wineprefixes"

export ZOR_SCREENSHOTS="Z:$ZOR_BUILD/screenshots"
mkdir -p "$ZOR_BUILD/screenshots"
# Test programs run side by side, each on its own display and in its own Wine prefix.
cd "$ZOR_BUILD"
ctest --output-on-failure -j"${ZOR_TEST_JOBS:-$(nproc)}" "$@"
