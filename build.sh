#!/usr/bin/env bash
# The project's two commands:
#   ./build.sh demo   build, then run the main job on the bundled sample charts (in a scratch copy)
#   ./build.sh test   build and run every test: the normal build, the sanitizer build, then the
#                     Windows build (mingw-w64) with its tests under wine
# Both first install whatever the machine is missing (Debian 12).
set -euo pipefail
cd "$(dirname "$0")"

case "${1:-}" in
  demo)
    scripts/setup.sh
    cmake --preset default >/dev/null
    cmake --build --preset default --target quarrow-cli fennick-cli tobrenz-cli
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    cp -r samples/charts samples/material "$scratch/"
    echo "== quarrow-cli: every #WAV line's .wav becomes .ogg where the .ogg exists (sample charts in $scratch)"
    build/bin/quarrow-cli --rule '#WAV?? *.wav' '#WAV?? *.ogg' \
      --material-base "$scratch/material" --recursive --file-check --backup --text-mode --verbose \
      "$scratch/charts"
    echo "== backups kept beside the charts:"
    (cd "$scratch/charts" && find . -name '*.mbk' | sort)
    ;;
  test)
    scripts/setup.sh
    cmake --preset default
    cmake --build --preset default
    ctest --preset default
    cmake --preset asan
    cmake --build --preset asan
    ctest --preset asan
    # The wine server that served the Windows tests goes with them.
    trap 'scripts/windows/wine-run.sh --prefix "$PWD/build-windows/wine" --stop' EXIT
    cmake --preset windows
    cmake --build --preset windows
    ctest --preset windows
    ;;
  *)
    echo "usage: $0 demo|test" >&2
    exit 1
    ;;
esac
