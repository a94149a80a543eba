#!/usr/bin/env bash
# Makes a folder that runs on Windows as it is: copies the given .exe files into
# DIST_DIR and puts beside them every DLL they need from the mingw build of Qt
# and from the mingw-w64 runtime (libstdc++, libgcc_s_seh, libwinpthread), the
# platform plugin (DIST_DIR/platforms/qwindows.dll), the style plugins
# (DIST_DIR/styles/) and the image format plugins (DIST_DIR/imageformats/).
# The DLLs are found by reading the import tables with objdump, recursively, so
# a program that links more Qt modules gets those too. Windows' own DLLs are left
# out. The folder can then be zipped and copied to a Windows machine.
#
# Usage: scripts/windows/deploy-qt-app.sh DIST_DIR EXE...
# Environment: QT_MINGW_PREFIX (the Qt built by build-qt-mingw.sh,
#              ${XDG_CACHE_HOME:-~/.cache}/chart-tools/qt-mingw)
#              QT_MINGW_DEPLOY_IMAGEFORMATS=0 leaves the image format plugins out.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 DIST_DIR EXE..." >&2
  exit 2
fi

prefix=${QT_MINGW_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/chart-tools/qt-mingw}
triplet=x86_64-w64-mingw32
dist=$1
shift

die() { echo "deploy-qt-app: error: $*" >&2; exit 1; }

[ -f "$prefix/bin/Qt6Core.dll" ] || die "no mingw Qt in $prefix (run scripts/windows/build-qt-mingw.sh)"
objdump=$(command -v "$triplet-objdump") || die "$triplet-objdump not found (binutils-mingw-w64-x86-64)"
cxx=$(command -v "$triplet-g++-posix") || die "$triplet-g++-posix not found (g++-mingw-w64-x86-64-posix)"

# Folders the DLLs are taken from, in this order: Qt, then the compiler's runtime.
search_dirs=("$prefix/bin")
for runtime_dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  found=$("$cxx" -print-file-name="$runtime_dll")
  if [ "$found" != "$runtime_dll" ] && [ -f "$found" ]; then
    search_dirs+=("$(dirname "$(readlink -f "$found")")")
  fi
done
for d in /usr/$triplet/lib /usr/$triplet/bin; do
  [ -d "$d" ] && search_dirs+=("$d")
done

mkdir -p "$dist"
declare -A copied=()
queue=()

find_dll() {
  local name=$1 d f
  for d in "${search_dirs[@]}"; do
    # Import tables may spell the name in another case than the file.
    f=$(find "$d" -maxdepth 1 -iname "$name" -print -quit 2>/dev/null)
    if [ -n "$f" ]; then
      echo "$f"
      return 0
    fi
  done
  return 1
}

imports_of() {
  "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p'
}

add_binary() {
  # $1: file already inside $dist whose imports are to be resolved.
  queue+=("$1")
}

copy_into() {
  # $1 source file, $2 destination folder (inside $dist)
  mkdir -p "$2"
  cp -f "$1" "$2/"
  add_binary "$2/$(basename "$1")"
}

for exe in "$@"; do
  [ -f "$exe" ] || die "$exe not found"
  if [ "$(readlink -f "$(dirname "$exe")")" = "$(readlink -f "$dist")" ]; then
    add_binary "$dist/$(basename "$exe")"
  else
    copy_into "$exe" "$dist"
  fi
done

# Plugins Qt loads at run time (they are not in any import table).
copy_into "$prefix/plugins/platforms/qwindows.dll" "$dist/platforms"
if [ -d "$prefix/plugins/styles" ]; then
  for f in "$prefix"/plugins/styles/*.dll; do
    [ -e "$f" ] && copy_into "$f" "$dist/styles"
  done
fi
if [ "${QT_MINGW_DEPLOY_IMAGEFORMATS:-1}" != 0 ] && [ -d "$prefix/plugins/imageformats" ]; then
  for f in "$prefix"/plugins/imageformats/*.dll; do
    [ -e "$f" ] && copy_into "$f" "$dist/imageformats"
  done
fi

# Resolve the imports, breadth first; DLLs go beside the .exe files.
i=0
while [ $i -lt ${#queue[@]} ]; do
  bin=${queue[$i]}
  i=$((i + 1))
  while read -r dll; do
    [ -n "$dll" ] || continue
    key=${dll,,}
    [ -n "${copied[$key]:-}" ] && continue
    copied[$key]=1
    if src=$(find_dll "$dll"); then
      cp -f "$src" "$dist/"
      queue+=("$dist/$(basename "$src")")
      echo "deploy-qt-app: $(basename "$src")" >&2
    fi
    # Not found: one of Windows' own DLLs (KERNEL32, USER32, api-ms-win-*, ...).
  done < <(imports_of "$bin")
done

echo "deploy-qt-app: $dist is ready ($(find "$dist" -name '*.dll' | wc -l) DLLs)" >&2
