#!/usr/bin/env bash
# Installs every Debian package the project needs (once), configures and builds the project,
# and prepares the project's own Wine prefix. Safe to run again: it only does what is missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"

PACKAGES="cmake ninja-build g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
googletest wine wine64 fonts-wine xvfb xauth x11-utils imagemagick unixodbc libsqliteodbc odbc-mdbtools sqlite3 locales
gcc libsqlite3-dev python3-xlrd python3-xlwt libreoffice-calc-nogui python3-pyshp g++ cups printer-driver-cups-pdf
poppler-utils ghostscript libreoffice-writer-nogui fonts-liberation2"

missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "bootstrap: installing$missing"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi

# The Czech locale, so that the host side of Wine runs quietly under LC_ALL=cs_CZ.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^cs_CZ.utf8$'; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO sed -i 's/^# *cs_CZ.UTF-8/cs_CZ.UTF-8/' /etc/locale.gen
  grep -q '^cs_CZ.UTF-8' /etc/locale.gen || echo 'cs_CZ.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

if [ ! -f "$ZOR_BUILD/build.ninja" ]; then
  # A compiler cache, when the machine has one, lets several checkouts share their objects.
  launcher=""
  command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  # ZOR_NO_DEBUG_INFO=1: the default build's optimised code without the debugger's line tables,
  # which take a third of the compiling and most of the linking.
  nodebug=()
  [ "${ZOR_NO_DEBUG_INFO:-}" = 1 ] && nodebug=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
                                                -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG")
  # ZOR_UNITY=1: the sources compiled in batches (cmake/unity.cmake), as CI builds them.
  unity=()
  [ "${ZOR_UNITY:-}" = 1 ] && unity=(-DZOR_UNITY=ON)
  cmake -S "$ZOR_ROOT" -B "$ZOR_BUILD" -G Ninja $launcher "${nodebug[@]}" "${unity[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$ZOR_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
prepare_prefix() {
  echo "bootstrap: preparing the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -u >/dev/null 2>&1 || true
  # A program that crashes prints its backtrace and ends, instead of waiting for someone to close
  # Wine's crash dialog on a display nobody sees (a crashing test would hold the run until its
  # time-out).
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null || true
  # The prefix's server and desktop end here: started without a display, they would otherwise
  # serve the tests that run on the virtual one, and no window could open.
  wineserver -w || true
}
# A new prefix is prepared while the build runs: the two need nothing of each other.
preparing=""
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  prepare_prefix &
  preparing=$!
fi
cmake --build "$ZOR_BUILD" -- -j"${ZOR_JOBS:-$(nproc)}" ${ZOR_NINJA_TARGETS:-all}
[ -z "$preparing" ] || wait "$preparing"

# The Windows faces the programs name (Arial for the print form's report and the workbooks, Times
# New Roman, Courier New) are drawn with the metric-compatible Liberation fonts under their own
# names: texts keep their widths, and the font dialog lists the report's face.
if [ -f "$WINEPREFIX/user.reg" ] && ! grep -q '^"Arial"="Liberation Sans"' "$WINEPREFIX/user.reg"; then
  for pair in "Arial=Liberation Sans" "Times New Roman=Liberation Serif" "Courier New=Liberation Mono"; do
    env $ZOR_LOCALE wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /d "${pair#*=}" /f \
      >/dev/null 2>&1 </dev/null || true
  done
  wineserver -w || true
fi
# Wine draws the caption buttons and menu arrows with the Marlett symbol font, which this Wine
# build does not find in its own data folder: the prefix gets a copy in its Fonts folder.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
fi
