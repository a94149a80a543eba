#!/usr/bin/env bash
# Builds the programs for 64-bit Windows, windows included, into one folder a user can zip and copy
# to a Windows machine: Quarrow.exe, Fennick.exe, Tobrenz.exe, the three command lines, readme.txt,
# and beside them the Qt DLLs, Qt's plugins and the compiler's runtime DLLs they load.
#
# Qt 6 (Core, Gui, Widgets) for mingw-w64 comes first, from Debian's own qt6-base source package,
# through scripts/windows/build-qt-mingw.sh: that takes most of an hour the first time on two cores
# and returns at once afterwards. Not part of ./build.sh test (the cores, command lines and their
# tests are built and run under wine there, without Qt).
#
# Usage: scripts/windows/build-windows.sh
# Environment (optional):
#   QT_MINGW_PREFIX          the mingw Qt, built here when missing    (/work/qt-mingw)
#   CHART_TOOLS_WIN_BUILD    the build folder                         (<repo>/build-windows-gui)
#   CHART_TOOLS_WIN_JOBS     parallel compile jobs                    (2)
# The result: $CHART_TOOLS_WIN_BUILD/dist/ChartTools, and ChartTools.zip beside it when zip is there.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$script_dir/../.." && pwd)
export QT_MINGW_PREFIX=${QT_MINGW_PREFIX:-/work/qt-mingw}
build=${CHART_TOOLS_WIN_BUILD:-$repo/build-windows-gui}
jobs=${CHART_TOOLS_WIN_JOBS:-2}
dist=$build/dist/ChartTools

log() { printf '[build-windows %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }

log "Qt for mingw-w64 in $QT_MINGW_PREFIX"
"$script_dir/build-qt-mingw.sh"

log "configuring $build"
# The windows' tests need Qt's test module, which this Qt leaves out; they run on Linux. -O2 as
# the other builds: at -O3 GCC 12 warns falsely (-Wrestrict) inside its own string code.
cmake -S "$repo" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$QT_MINGW_PREFIX" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCHART_TOOLS_GUI=ON -DCHART_TOOLS_TESTS=OFF -DCHART_TOOLS_BENCH=OFF >/dev/null
start=$SECONDS
cmake --build "$build" -j "$jobs"
log "built in $((SECONDS - start)) s"

rm -rf "$dist"
mkdir -p "$dist"
bin=$build/bin
"$script_dir/deploy-qt-app.sh" "$dist" "$bin/Quarrow.exe" "$bin/Fennick.exe" "$bin/Tobrenz.exe" \
  "$bin/quarrow-cli.exe" "$bin/fennick-cli.exe" "$bin/tobrenz-cli.exe"
# Debian's runtime DLLs carry their debugging symbols, ten times their code: a user needs none.
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/*.dll "$dist"/*/*.dll
# The help menus open the readme in Notepad, which before Windows 10 took UTF-8 only after a
# byte-order mark and showed only CR LF as line ends.
{ printf '\357\273\277'; sed 's/\r\{0,1\}$/\r/' "$repo/readme.txt"; } >"$dist/readme.txt"

if command -v zip >/dev/null; then
  (cd "$(dirname "$dist")" && rm -f ChartTools.zip && zip -qr ChartTools.zip ChartTools)
  log "zipped: $(dirname "$dist")/ChartTools.zip"
fi
log "ready: $dist ($(du -sh "$dist" | cut -f1))"
