#!/usr/bin/env bash
# Runs one test command on a virtual X display and in a Wine prefix of its own, so that test
# programs can run side by side: a window test reads the pixels of its own screen, where no
# other program's window can cover its own, and each prefix has its own Wine server, registry
# and temporary folder.
#
#     isolated-run.sh <name> <command> [arguments...]
#
# The prefix <build>/wineprefixes/<name> is a copy of the build's prefix, made when missing;
# scripts/test.sh removes the copies before each run, so that they follow the build's prefix.
set -euo pipefail
name=$1; shift
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
base="$ZOR_BUILD/wineprefix"
slot="$ZOR_BUILD/wineprefixes/$name"
if [ ! -f "$slot/system.reg" ]; then
  rm -rf "$slot.tmp"
  mkdir -p "$(dirname "$slot")"
  # Wine's own programs and libraries are shared as hard links (nothing writes them while tests
  # run); the registry, the profiles and the data folders are copies of their own.
  mkdir -p "$slot.tmp"
  tar -C "$base" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/syswow64 \
      --exclude=./drive_c/windows/winsxs -cf - . | tar -C "$slot.tmp" -xf -
  for big in system32 syswow64 winsxs; do
    if [ -d "$base/drive_c/windows/$big" ]; then
      cp -al "$base/drive_c/windows/$big" "$slot.tmp/drive_c/windows/$big"
    fi
  done
  rm -rf "$slot"
  mv "$slot.tmp" "$slot"
fi
export WINEPREFIX="$slot"

# A display of its own: Xvfb picks a free number and writes it to the descriptor it is given.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do
  [ -s "$displayfile" ] && break
  sleep 0.05
done
number=$(tr -d '[:space:]' <"$displayfile")
rm -f "$displayfile"
if [ -z "$number" ]; then
  echo "isolated-run: Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null || true
  exit 1
fi
export DISPLAY=":$number"

finish() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap finish EXIT
trap 'exit 143' TERM INT
# A persistent server makes each Wine program of the run start in a fraction of a second, and
# Wine's own services start now, detached from CTest's output pipes: a service started by the
# test would inherit them and keep CTest waiting for ever.
wineserver -p
env $ZOR_LOCALE wineboot >/dev/null 2>&1 </dev/null || true
status=0
"$@" || status=$?
exit $status
