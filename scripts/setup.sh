#!/usr/bin/env bash
# Installs whatever the build and the tests need and is not on the machine yet (Debian 12), through
# sudo when not root. With package names given, installs those instead (the Windows release's
# script names its own).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Qt's own texts in Japanese (the buttons of the message boxes).
  qt6-translations-l10n
  fonts-noto-cjk
  strace
  # The window tests that need a window manager: a virtual display and a small manager.
  xvfb openbox
  # The Windows build: mingw-w64 with the posix thread model, GoogleTest's source to build for it,
  # and wine to run its tests (wine64 alone runs 64-bit programs: no i386 architecture needed).
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev googletest
  wine wine64
)
if [ $# -gt 0 ]; then packages=("$@"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "setup: ${missing[*]} missing; install them as root, or install sudo" >&2
    exit 1
  fi
  sudo="sudo"
fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
