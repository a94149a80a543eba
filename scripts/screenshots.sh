#!/usr/bin/env bash
# Makes the README's pictures of the three windows: each program starts under a virtual X display on
# a scratch copy of the sample charts, and its window is grabbed into docs/<program>.png; then
# Quarrow's preview and reference check are opened and their lists grabbed into docs/preview.png and
# docs/check.png.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
missing=()
for p in xvfb x11-utils imagemagick xdotool; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then missing+=("$p"); fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake --preset default >/dev/null
cmake --build --preset default --target Quarrow Fennick Tobrenz

# A plain folder name, since the paths show in the pictures.
scratch=/tmp/BMS
rm -rf "$scratch"
mkdir -p "$scratch"
display=:57
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$scratch"' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

cp -r samples/charts samples/material "$scratch/"
mkdir -p docs

# A program folder of its own for each window, with the settings (CP932) a user would have there.
prepare() {
  local program=$1 settings=$2
  mkdir -p "$scratch/$program"
  cp "build/bin/$program" "$scratch/$program/"
  printf '%s' "$settings" | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >"$scratch/$program/$program.ini"
}

prepare Quarrow "[システム]
マテリアルベースフォルダ=$scratch/material
[処理方法]
再帰処理=1"
printf '#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\n#BMP?? *.bmp\r\n#BMP?? *.png\r\n\r\n' >"$scratch/Quarrow/Quarrow.rul"
prepare Fennick "[システム]
ソースフォルダ=$scratch/material/drums
[処理方法]
ベースフォルダ=0"
prepare Tobrenz "[絞り込み]
絞り込み=1
絞り込み文字列=*.wav
[処理方法]
比較ファイル拡張子=ogg"

for program in Quarrow Fennick Tobrenz; do
  "$scratch/$program/$program" "$scratch/charts/sakura" &
  pid=$!
  for _ in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"$program\"" && break
    sleep 0.1
  done
  sleep 1  # the first paint
  # No window manager: the window stands alone on the black screen, which trimming takes away.
  import -window root "$scratch/screen.png"
  convert "$scratch/screen.png" -trim +repage "docs/${program,,}.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "docs/${program,,}.png"
done

# A list window that a key in Quarrow's window opens, grabbed into docs/<picture>.png: Alt+V the
# preview, Alt+K the reference check.
grab_list() {
  local key=$1 title=$2 picture=$3
  "$scratch/Quarrow/Quarrow" "$scratch/charts/sakura" &
  local pid=$! window="" list=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Quarrow$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
  done
  sleep 1
  xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers "$key"
  for _ in $(seq 100); do
    list=$(xdotool search --onlyvisible --name "^$title" 2>/dev/null | head -n 1) && [ -n "$list" ] && break
    sleep 0.1
  done
  sleep 1
  import -window "$list" "docs/$picture.png"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  echo "docs/$picture.png"
}
grab_list alt+v プレビュー preview
grab_list alt+k 参照チェック check
