#!/usr/bin/env bash
# Builds (bootstrapping a fresh machine first) and starts Zorna under Wine, on a virtual X
# display when there is none.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
# Everything Wine runs here runs on the display Zorna will use: Wine binds its desktop to the
# display of the first program it starts, and a desktop started without one would leave Zorna
# waiting for ever.
if [ -z "${DISPLAY:-}" ]; then
  "$ZOR_ROOT/scripts/bootstrap.sh"
  ZOR_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --built "$@"
fi
if [ "${1:-}" = "--built" ]; then shift; else "$ZOR_ROOT/scripts/bootstrap.sh"; fi
zor_window_management
zorna="$ZOR_BUILD/bin/Zorna.exe"

# The default database (common application data of the prefix + Kelvane\Zorna2011\Data): when it
# is missing (or an empty file left by a failed start), make it with the demo data before Zorna
# starts. A file with content is never touched.
default_db_win='C:\ProgramData\Kelvane\Zorna2011\Data\ZorBase.mdb'
default_db="$WINEPREFIX/drive_c/ProgramData/Kelvane/Zorna2011/Data/ZorBase.mdb"
made_db=0
if [ ! -s "$default_db" ]; then
  made_db=1
  sampledb="$ZOR_BUILD/bin/ZorSampleDb.exe"
  [ -f "$sampledb" ] || ZOR_NINJA_TARGETS=ZorSampleDb "$ZOR_ROOT/scripts/bootstrap.sh"
  echo "run-zorna: creating the demo database $default_db_win"
  "$ZOR_ROOT/scripts/wine-run.sh" "$sampledb" -o "$default_db_win" -n 5000
elif [ "$(head -c 15 "$default_db")" != "SQLite format 3" ]; then
  echo "run-zorna: warning: $default_db is not an SQLite database; it is left as it is" >&2
fi

# The sample map layers of the Czech Republic (and the KFME grid file) in the folder "Mapa"
# beside the demo database, made when that folder holds no layers yet. With a demo database just
# made and no workspace file yet, also the workspace that opens on the map of these layers.
sample_map_win='C:\ProgramData\Kelvane\Zorna2011\Data\Mapa'
sample_map="$WINEPREFIX/drive_c/ProgramData/Kelvane/Zorna2011/Data/Mapa"
workspace_win='C:\ProgramData\Kelvane\Zorna2011\Zorna.xml'
workspace="$WINEPREFIX/drive_c/ProgramData/Kelvane/Zorna2011/Zorna.xml"
workspace_args=()
if [ "$made_db" = 1 ] && [ ! -e "$workspace" ]; then
  workspace_args=(-w "$workspace_win" -d "$default_db_win")
fi
if [ ! -f "$sample_map/hranice.shp" ] || [ ${#workspace_args[@]} -gt 0 ]; then
  samplemap="$ZOR_BUILD/bin/ZorSampleMap.exe"
  [ -f "$samplemap" ] || ZOR_NINJA_TARGETS=ZorSampleMap "$ZOR_ROOT/scripts/bootstrap.sh"
  echo "run-zorna: writing the sample map layers into $sample_map_win"
  "$ZOR_ROOT/scripts/wine-run.sh" "$samplemap" -o "$sample_map_win" "${workspace_args[@]}"
fi

exec "$ZOR_ROOT/scripts/wine-run.sh" "$zorna" "$@"
