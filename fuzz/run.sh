#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs one of them.
#   fuzz/run.sh [TARGET] [SECONDS]   TARGET: clsMatching (default), codec, settings, rules, chart
# The corpus grows in build-fuzz/corpus/TARGET; crashes land in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-clsMatching}
seconds=${2:-60}

if ! command -v clang++ >/dev/null; then
  echo "run.sh: clang++ is needed (Debian: clang and libclang-rt-14-dev)" >&2
  exit 1
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCHART_TOOLS_FUZZ=ON -DCHART_TOOLS_GUI=OFF -DCHART_TOOLS_TESTS=OFF -DCHART_TOOLS_BENCH=OFF >/dev/null
cmake --build build-fuzz --target "${target}_fuzz" -j 2

corpus=build-fuzz/corpus/$target
mkdir -p "$corpus" build-fuzz/artifacts
seed() { printf '%b' "$2" > "$corpus/seed-$1"; }
case $target in
  clsMatching)
    # Search and replace each ended by a backslash, the name, then the flags byte (bit 0 file-name
    # mode, bit 1 text mode, bit 2 reverse pairing, bit 3 modes last).
    seed 1 '*.wav\\*.ogg\\kick.WAV\x03'
    seed 2 '#WAV?? *.wav\\#WAV?? *.ogg\\#WAV01 a.wav\x01'
    seed 3 'abc\\xyz\\111abc222\x00'
    seed 4 '*_*\\*\\a_b_c\x07'
    seed 5 '??*\\*??\\abcd\x0a' ;;
  codec) seed 1 '#TITLE \x8d\xf7\r\n#WAV01 \xe3\x81\x82.wav\n\xff' ;;
  settings) seed 1 '[\x83V\x83X\x83e\x83\x80]\r\nWindow Top=120\r\n[\x8f\x88\x97\x9d\x95\xfb\x96@]\n\x95\xcf\x8a\xb7\x83\x82\x81[\x83h=9' ;;
  rules) seed 1 '#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\n#TITLE *\n' ;;
  chart)
    # A search pattern and a replace pattern (each a length byte, then the text), a mode byte, the chart.
    seed 1 '\x0c#WAV?? *.wav\x0c#WAV?? *.ogg\x00#TITLE t\r\n#WAV01 a.wav\r\n#BMP01 <s>b.bmp' ;;
esac

exec "build-fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -artifact_prefix=build-fuzz/artifacts/ "$corpus"
