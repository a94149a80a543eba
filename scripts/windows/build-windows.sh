#!/usr/bin/env bash
# Builds the Windows release on Debian 12 from a clone, as any user: the folder ChartTools with
# Quarrow.exe, Fennick.exe, Tobrenz.exe, the three command lines, readme.txt, Qt's Japanese texts
# (translations/qtbase_ja.qm) and every DLL they load (Qt's, its plugins, the compiler's runtime),
# and ChartTools-<version>-win64.zip holding it. Unpacked anywhere on Windows 10 or 11, it runs.
#
# Steps, each timed at the end:
#   packages  what the build needs, zip included, through scripts/setup.sh (sudo when not root)
#   qt        Qt 6 (Core, Gui, Widgets) for mingw-w64 from Debian's own qt6-base source, by
#             scripts/windows/build-qt-mingw.sh: most of an hour on two cores, once; later runs
#             find it built
#   programs  the six programs
#   folder    the release folder, its DLLs and its readme
#   zip       the zip
#
# Usage: scripts/windows/build-windows.sh
# Environment (optional; the defaults lie in the user's cache or inside the clone):
#   QT_MINGW_PREFIX        the mingw Qt, built there when missing  (${XDG_CACHE_HOME:-~/.cache}/chart-tools/qt-mingw)
#   QT_MINGW_SRC           Qt's source while it is built           (${XDG_CACHE_HOME:-~/.cache}/chart-tools/qt-mingw-src)
#   CHART_TOOLS_WIN_BUILD  the build folder                        (<clone>/build-windows-gui)
#   CHART_TOOLS_WIN_JOBS   parallel compile jobs                   (2)
# The result: $CHART_TOOLS_WIN_BUILD/dist/ChartTools and $CHART_TOOLS_WIN_BUILD/ChartTools-<version>-win64.zip.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$script_dir/../.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/chart-tools
export QT_MINGW_PREFIX=${QT_MINGW_PREFIX:-$cache/qt-mingw}
export QT_MINGW_SRC=${QT_MINGW_SRC:-$cache/qt-mingw-src}
build=${CHART_TOOLS_WIN_BUILD:-$repo/build-windows-gui}
jobs=${CHART_TOOLS_WIN_JOBS:-2}
dist=$build/dist/ChartTools
translations=/usr/share/qt6/translations

log() { printf '[build-windows %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }

declare -a step_names=() step_secs=()
step() {
  local name=$1 start=$SECONDS
  shift
  log "== $name"
  "$@"
  step_names+=("$name")
  step_secs+=("$((SECONDS - start))")
}
print_times() {
  local i
  for i in "${!step_names[@]}"; do
    printf '  %-9s %dm%02ds\n' "${step_names[$i]}" $((step_secs[i] / 60)) $((step_secs[i] % 60)) >&2
  done
  printf '  %-9s %dm%02ds\n' total $((SECONDS / 60)) $((SECONDS % 60)) >&2
}

packages() {
  "$repo/scripts/setup.sh" cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    mingw-w64-x86-64-dev qt6-base-dev qt6-base-dev-tools qt6-translations-l10n zip
}

programs() {
  # The windows' tests need Qt's test module, which this Qt leaves out; they run on Linux. -O2 as
  # the other builds: at -O3 GCC 12 warns falsely (-Wrestrict) inside its own string code.
  cmake -S "$repo" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$QT_MINGW_PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCHART_TOOLS_GUI=ON -DCHART_TOOLS_TESTS=OFF -DCHART_TOOLS_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$jobs"
}

folder() {
  rm -rf "$dist"
  mkdir -p "$dist"
  local bin=$build/bin
  "$script_dir/deploy-qt-app.sh" "$dist" "$bin/Quarrow.exe" "$bin/Fennick.exe" "$bin/Tobrenz.exe" \
    "$bin/quarrow-cli.exe" "$bin/fennick-cli.exe" "$bin/tobrenz-cli.exe"
  # Debian's runtime DLLs carry their debugging symbols, ten times their code: a user needs none.
  x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/*.dll "$dist"/*/*.dll
  # Qt's own texts (Yes, No, Cancel) in Japanese: Debian's translation of this very Qt version,
  # which the windows look for beside them.
  mkdir -p "$dist/translations"
  cp "$translations/qtbase_ja.qm" "$dist/translations/"
  # The help menus open the readme in Notepad, which before Windows 10 took UTF-8 only after a
  # byte-order mark and showed only CR LF as line ends.
  { printf '\357\273\277'; sed 's/\r\{0,1\}$/\r/' "$repo/readme.txt"; } >"$dist/readme.txt"
}

zip_it() {
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  zip_file=$build/ChartTools-$version-win64.zip
  rm -f "$zip_file"
  (cd "$(dirname "$dist")" && zip -qr -X "$zip_file" ChartTools)
}

step packages packages
step qt "$script_dir/build-qt-mingw.sh"
step programs programs
step folder folder
step zip zip_it
log "ready: $dist ($(du -sh "$dist" | cut -f1)) and $zip_file ($(du -h "$zip_file" | cut -f1))"
print_times
