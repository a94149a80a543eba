#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs the wildcard engine's fuzzer.
#   fuzz/run.sh [SECONDS]   (default 60)
# The corpus grows in build-fuzz/corpus/clsMatching; crashes land in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

if ! command -v clang++ >/dev/null; then
  echo "run.sh: clang++ is needed (Debian: clang and libclang-rt-14-dev)" >&2
  exit 1
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCHART_TOOLS_GUI=OFF -DCHART_TOOLS_TESTS=OFF -DCHART_TOOLS_BENCH=OFF >/dev/null
cmake --build build-fuzz --target clsMatching_fuzz -j 2

mkdir -p build-fuzz/corpus/clsMatching build-fuzz/artifacts
# A few rules and names to start from: search and replace each ended by a backslash, the name,
# then the flags byte (bit 0 file-name mode, bit 1 text mode, bit 2 reverse pairing, bit 3 modes last).
seed() { printf '%b' "$2" > "build-fuzz/corpus/clsMatching/seed-$1"; }
seed 1 '*.wav\\*.ogg\\kick.WAV\x03'
seed 2 '#WAV?? *.wav\\#WAV?? *.ogg\\#WAV01 a.wav\x01'
seed 3 'abc\\xyz\\111abc222\x00'
seed 4 '*_*\\*\\a_b_c\x07'
seed 5 '??*\\*??\\abcd\x0a'

exec build-fuzz/bin/clsMatching_fuzz -max_total_time="$seconds" -max_len=2048 -timeout=10 \
  -artifact_prefix=build-fuzz/artifacts/ build-fuzz/corpus/clsMatching
