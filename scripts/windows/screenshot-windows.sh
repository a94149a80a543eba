#!/usr/bin/env bash
# Makes docs/quarrow-windows.png, docs/fennick-windows.png and docs/tobrenz-windows.png: each window
# from build-windows-gui/dist/ChartTools (made by scripts/windows/build-windows.sh) started under
# wine on a virtual X display, on a scratch copy of the sample charts in a folder with a Japanese
# name, with the settings a user would have; and docs/question-windows.png, a question whose
# buttons Qt itself writes, in Japanese from the translation beside the programs.
#
# Wine is told to show Windows' dialog font names in Noto Sans CJK JP, as a Japanese Windows shows
# them in its own Japanese face (without it Qt falls back to a serif face); this is set in the wine
# prefix of this script only. The windows are taken without a frame, as the other pictures in docs/.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
dist=$repo/build-windows-gui/dist/ChartTools
[ -f "$dist/Quarrow.exe" ] || { echo "no $dist/Quarrow.exe: run scripts/windows/build-windows.sh first" >&2; exit 1; }

export WINEPREFIX=$repo/build-windows-gui/wine
export RUN_WINE_DISPLAY=${RUN_WINE_DISPLAY:-:97}
export WINEDEBUG=-all
# A plain folder name, since the paths show in the pictures.
scratch=/tmp/BMS-windows
rm -rf "$scratch"
mkdir -p "$scratch"
trap 'scripts/windows/run-under-wine.sh --stop >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

cp -r "$dist" "$scratch/ChartTools"
mkdir -p "$scratch/譜面"
cp -r samples/charts/sakura "$scratch/譜面/"
cp -r samples/material "$scratch/"
# Wine sees the Linux root as drive Z:.
win=Z:$(printf '%s' "$scratch" | tr / '\\')
settings() {
  printf '%s' "$2" | iconv -f UTF-8 -t CP932 | sed 's/$/\r/' >"$scratch/ChartTools/$1.ini"
}
settings Quarrow "[システム]
マテリアルベースフォルダ=$win\\material
[処理方法]
再帰処理=1"
printf '#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\n#BMP?? *.bmp\r\n#BMP?? *.png\r\n\r\n' >"$scratch/ChartTools/Quarrow.rul"
settings Fennick "[システム]
ソースフォルダ=$win\\material\\drums
[処理方法]
ベースフォルダ=0"
settings Tobrenz "[絞り込み]
絞り込み=1
絞り込み文字列=*.wav
[処理方法]
比較ファイル拡張子=ogg"

# A first run makes the prefix; the settings below go into it before the pictures are taken.
scripts/windows/run-under-wine.sh --timeout 20 "$scratch/ChartTools/quarrow-cli.exe" --version >/dev/null
for face in "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI" "MS UI Gothic" "Meiryo UI" "Yu Gothic UI"; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" /t REG_SZ \
    /d "Noto Sans CJK JP" /f >/dev/null 2>&1
done
scripts/windows/run-under-wine.sh --stop >/dev/null

for program in Quarrow Fennick Tobrenz; do
  shot=$scratch/screen.png
  scripts/windows/run-under-wine.sh --screenshot "$shot" --wait 15 "$scratch/ChartTools/$program.exe" "$win\\譜面\\sakura"
  # The screen around the window is black.
  picture=docs/${program,,}-windows.png
  convert "$shot" -bordercolor black -border 1 -trim +repage "$picture"
  echo "$picture: $(identify -format '%wx%h' "$picture")"
done

# The end button's question when the settings cannot be written: a folder stands where Tobrenz.ini
# would go. Enter closes the message that it cannot be read, Alt+E presses the end button, Enter
# closes the message that it cannot be written, and the question comes.
rm -f "$scratch/ChartTools/Tobrenz.ini"
mkdir "$scratch/ChartTools/Tobrenz.ini"
scripts/windows/run-under-wine.sh --screenshot "$shot" --wait 15 --keys "Return alt+e Return" "$scratch/ChartTools/Tobrenz.exe"
convert "$shot" -bordercolor black -border 1 -trim +repage docs/question-windows.png
echo "docs/question-windows.png: $(identify -format '%wx%h' docs/question-windows.png)"
