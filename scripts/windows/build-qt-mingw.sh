#!/usr/bin/env bash
# Builds Qt 6 qtbase (Core, Gui, Widgets, the qwindows platform plugin and the
# windowsvista style) as DLLs for 64-bit Windows with Debian's mingw-w64 cross
# compiler, from Debian's own qt6-base source package (the version of the host
# Qt that is installed, 6.4.2+dfsg on Debian 12), and installs it into a prefix.
#
# Runs on a fresh Debian 12 machine, as any user: installs what it needs with
# apt-get (through sudo when not root), adds a deb-src entry for bookworm main if
# the machine has none, fetches the source with `apt-get source`, configures,
# builds, installs into the user's cache.
#
# Restartable: exits at once when the prefix holds a finished install (stamp
# file); a source tree that was already unpacked is reused, and an existing build
# folder is built further instead of configured anew.
#
# Environment (all optional):
#   QT_MINGW_PREFIX   install prefix       (${XDG_CACHE_HOME:-~/.cache}/chart-tools/qt-mingw)
#   QT_MINGW_SRC      where the source is unpacked  (${XDG_CACHE_HOME:-~/.cache}/chart-tools/qt-mingw-src)
#   QT_MINGW_BUILD    build folder                         ($QT_MINGW_SRC/build)
#   QT_MINGW_JOBS     parallel compile jobs                (2)
#   QT_MINGW_NICE     nice level of the configure/build    (19)
#   QT_MINGW_SKIP_PATCHES  Debian patches (names from debian/patches/series,
#                     space separated) not to apply, on top of the built-in list
#   QT_HOST_PATH      prefix of the host Qt of the same version   (/usr)
#   QT_HOST_PATH_CMAKE_DIR  its CMake packages  (/usr/lib/x86_64-linux-gnu/cmake)
#
# Using the result:
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DCMAKE_PREFIX_PATH=$QT_MINGW_PREFIX -DQT_HOST_PATH=/usr \
#         -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake ...
# and scripts/windows/deploy-qt-app.sh to put the DLLs beside the .exe files.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo_root=$(cd "$script_dir/../.." && pwd)

cache=${XDG_CACHE_HOME:-$HOME/.cache}/chart-tools
prefix=${QT_MINGW_PREFIX:-$cache/qt-mingw}
src_root=${QT_MINGW_SRC:-$cache/qt-mingw-src}
build_dir=${QT_MINGW_BUILD:-$src_root/build}
jobs=${QT_MINGW_JOBS:-2}
nice_level=${QT_MINGW_NICE:-19}
host_path=${QT_HOST_PATH:-/usr}
host_cmake_dir=${QT_HOST_PATH_CMAKE_DIR:-/usr/lib/x86_64-linux-gnu/cmake}
toolchain_src=$repo_root/cmake/mingw-w64-x86_64.cmake
stamp=$prefix/.qt-mingw-complete
triplet=x86_64-w64-mingw32

# Debian patches that must not go into a Windows build. None of the eleven
# patches of 6.4.2+dfsg-10 (CVE fixes, architecture detection, cross-build and
# packaging tweaks) gets in the way, so the list is empty. A source tree that is
# unpacked already keeps its patches: remove it to apply another choice.
default_skip_patches=""
skip_patches=$(echo $default_skip_patches ${QT_MINGW_SKIP_PATCHES:-})

log() { printf '[build-qt-mingw %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }
die() { log "error: $*"; exit 1; }

fmt_secs() { printf '%dh%02dm%02ds' $(($1 / 3600)) $(($1 % 3600 / 60)) $(($1 % 60)); }

declare -a stage_names=() stage_secs=()
stage_start=0
current_stage=""
begin_stage() {
  current_stage=$1
  stage_start=$SECONDS
  log "== $1"
}
end_stage() {
  local took=$((SECONDS - stage_start))
  stage_names+=("$current_stage")
  stage_secs+=("$took")
  log "== $current_stage done in $(fmt_secs "$took")"
}
print_times() {
  local i
  log "stage times:"
  for i in "${!stage_names[@]}"; do
    printf '  %-12s %s\n' "${stage_names[$i]}" "$(fmt_secs "${stage_secs[$i]}")" >&2
  done
  printf '  %-12s %s\n' total "$(fmt_secs "$SECONDS")" >&2
}

if [ -f "$stamp" ]; then
  log "Qt for mingw is already installed in $prefix ($(cat "$stamp")); nothing to do"
  exit 0
fi

case $jobs in ''|*[!0-9]*|0) die "QT_MINGW_JOBS must be a positive number, not '$jobs'" ;; esac
[ -f "$toolchain_src" ] || die "toolchain file $toolchain_src not found"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

trap 'rc=$?; if [ $rc -ne 0 ]; then log "failed in stage: ${current_stage:-start}"; print_times; fi' EXIT

# --- 1. packages ---------------------------------------------------------------
begin_stage packages
packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev
  cmake ninja-build perl python3 dpkg-dev xz-utils patch
  qt6-base-dev qt6-base-dev-tools
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
apt_updated=0
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  $sudo apt-get update -qq
  apt_updated=1
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The source package has to be the one of the host Qt: the host tools (moc, rcc,
# uic) and the Qt6HostInfo package must be of the same version.
host_src_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools)
host_upstream=${host_src_version%%+*}
host_upstream=${host_upstream%%-*}
log "host Qt: qt6-base $host_src_version"
[ -x "$host_path/lib/qt6/libexec/moc" ] || die "host moc not found in $host_path/lib/qt6/libexec"
[ -f "$host_cmake_dir/Qt6HostInfo/Qt6HostInfoConfig.cmake" ] ||
  die "Qt6HostInfo not found in $host_cmake_dir (QT_HOST_PATH_CMAKE_DIR)"
end_stage

# --- 2. source -----------------------------------------------------------------
begin_stage source
src_dir=$src_root/qt6-base-$host_upstream
src_stamp=$src_dir/.qt-mingw-source-ready
if [ -f "$src_stamp" ]; then
  log "reusing the unpacked source in $src_dir"
else
  # A deb-src entry for bookworm main, in a file of our own, when none is set up.
  have_deb_src() {
    grep -rhsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | grep -q . && return 0
    grep -rhsiE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -q . && return 0
    return 1
  }
  if ! have_deb_src; then
    srcs_file=/etc/apt/sources.list.d/qt-mingw-deb-src.sources
    log "no deb-src entry found; adding $srcs_file"
    $sudo tee "$srcs_file" >/dev/null <<'EOS'
# Added by scripts/windows/build-qt-mingw.sh: source packages for `apt-get source`.
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOS
    apt_updated=0
  fi
  if [ "$apt_updated" -eq 0 ]; then
    $sudo apt-get update -qq
  fi

  mkdir -p "$src_root"
  dl_dir=$src_root/download
  mkdir -p "$dl_dir"
  # The files are fetched with `apt-get source` and unpacked by dpkg-source as
  # apt-get would, but with the patches applied one by one below, so that a patch
  # that does not suit Windows can be left out.
  if ! (cd "$dl_dir" && apt-get source --download-only "qt6-base=$host_src_version"); then
    log "qt6-base $host_src_version is not offered as source any more; taking the current one"
    (cd "$dl_dir" && apt-get source --download-only qt6-base)
  fi
  dsc=$(ls "$dl_dir"/qt6-base_*.dsc | head -n1)
  [ -f "$dsc" ] || die "apt-get source fetched no .dsc"
  rm -rf "$src_dir"
  dpkg-source --skip-patches -x "$dsc" "$src_dir" >/dev/null
  series=$src_dir/debian/patches/series
  if [ -f "$series" ]; then
    applied=0
    while read -r patch_name _; do
      case $patch_name in ''|'#'*) continue ;; esac
      skip=0
      for s in $skip_patches; do [ "$s" = "$patch_name" ] && skip=1; done
      if [ $skip -eq 1 ]; then
        log "skipping Debian patch $patch_name"
        continue
      fi
      patch -d "$src_dir" -p1 --batch --forward --quiet <"$src_dir/debian/patches/$patch_name" ||
        die "Debian patch $patch_name does not apply"
      applied=$((applied + 1))
    done <"$series"
    log "applied $applied Debian patches"
  fi
  echo "qt6-base $host_src_version, skipped patches: ${skip_patches:-none}" >"$src_stamp"
fi
end_stage

# --- 3. configure --------------------------------------------------------------
begin_stage configure
mkdir -p "$prefix"
# Qt's installed qt.toolchain.cmake chain-loads the toolchain file it was built
# with, so a copy is kept inside the prefix instead of the repository's path.
toolchain=$prefix/lib/cmake/mingw-w64-x86_64.cmake
mkdir -p "$(dirname "$toolchain")"
cp "$toolchain_src" "$toolchain"

configure_args=(
  -prefix "$prefix"
  -release -shared
  -xplatform win32-g++
  -qt-host-path "$host_path"
  -nomake examples -nomake tests
  -no-opengl -no-dbus -no-icu
  # Direct2D stays on: Qt 6.4 builds its DirectWrite font code in Gui only with
  # the direct2d feature, while the qwindows plugin uses that code whenever
  # directwrite3 is on (-no-direct2d ends in an undefined
  # QWindowsDirectWriteFontDatabase when qwindows.dll is linked). Only the extra
  # Direct2D platform plugin (qdirect2d.dll) is left out.
  -no-feature-direct2d1_1
  -no-feature-vulkan
  # Debian's +dfsg tarball drops src/3rdparty/wintab (Wacom's header may not be
  # modified) and mingw-w64 has no wintab.h, so the windows plugin's tablet
  # support cannot be built: QTabletEvent is switched off.
  -no-feature-tabletevent
  -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre
  -no-feature-sql -no-feature-network -no-feature-testlib
  -no-feature-printsupport -no-feature-concurrent -no-feature-xml
  --
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir"
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
)
args_file=$build_dir/.qt-mingw-configure-args
args_now=$(printf '%s\n' "$src_dir" "${configure_args[@]}")
if [ -f "$build_dir/CMakeCache.txt" ] && [ -f "$build_dir/build.ninja" ] &&
   [ -f "$args_file" ] && [ "$(cat "$args_file")" = "$args_now" ]; then
  log "build folder $build_dir is configured already; building further"
else
  if [ -f "$build_dir/CMakeCache.txt" ]; then
    # Configured before with other options (or cut off while configuring): the
    # cache is dropped, the object files stay and are rebuilt only as needed.
    log "configuring $build_dir anew"
    rm -f "$build_dir/CMakeCache.txt" "$args_file"
  fi
  mkdir -p "$build_dir"
  log "configure: $src_dir/configure ${configure_args[*]}"
  (cd "$build_dir" && nice -n "$nice_level" "$src_dir/configure" "${configure_args[@]}")
  printf '%s\n' "$args_now" >"$args_file"
fi
end_stage

# --- 4. build ------------------------------------------------------------------
begin_stage build
log "building with $jobs jobs at nice $nice_level"
nice -n "$nice_level" cmake --build "$build_dir" --parallel "$jobs"
end_stage

# --- 5. install ----------------------------------------------------------------
begin_stage install
nice -n "$nice_level" cmake --install "$build_dir"
for dll in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll plugins/platforms/qwindows.dll; do
  case $dll in
    plugins/*) [ -f "$prefix/$dll" ] || die "$prefix/$dll missing after install" ;;
    *) [ -f "$prefix/bin/$dll" ] || die "$prefix/bin/$dll missing after install" ;;
  esac
done
{
  echo "qt6-base $host_src_version for $triplet, built $(date -u +%Y-%m-%dT%H:%M:%SZ)"
} >"$stamp"
end_stage

log "Qt for mingw installed in $prefix"
print_times
