#!/usr/bin/env bash
# Builds everything (bootstrapping a fresh machine first) and runs every test program under Wine,
# on a virtual X display when there is none. Arguments go to ctest (for example -R core).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

if [ -z "${DISPLAY:-}" ]; then
  "$ZOR_ROOT/scripts/bootstrap.sh"
  ZOR_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --built "$@"
fi
if [ "${1:-}" = "--built" ]; then shift; else "$ZOR_ROOT/scripts/bootstrap.sh"; fi
zor_window_management
zor_print_queue

export ZOR_SCREENSHOTS="Z:$ZOR_BUILD/screenshots"
mkdir -p "$ZOR_BUILD/screenshots"
# Test programs run one at a time (ZOR_TEST_JOBS): window tests read pixels off the one shared
# display, where another program's window would cover theirs.
# A persistent wineserver makes each test program start in a fraction of a second.
wineserver -p 2>/dev/null || true  # one may already be running for this prefix
trap 'wineserver -k 2>/dev/null || true' EXIT
# Start Wine's own services now, detached from ctest's output pipes: a service started by the
# first test would inherit them and keep ctest waiting for ever.
wineboot >/dev/null 2>&1 </dev/null || true
cd "$ZOR_BUILD"
ctest --output-on-failure -j"${ZOR_TEST_JOBS:-1}" "$@"
