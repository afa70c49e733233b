#!/usr/bin/env bash
# Builds (bootstrapping a fresh machine first) and starts Zorna under Wine, on a virtual X
# display when there is none.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
"$ZOR_ROOT/scripts/bootstrap.sh"
zorna="$ZOR_BUILD/bin/Zorna.exe"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$ZOR_ROOT/scripts/wine-run.sh" "$zorna" "$@"
fi
exec "$ZOR_ROOT/scripts/wine-run.sh" "$zorna" "$@"
