#!/usr/bin/env python3
"""Writes a corpus of realistic BMS charts: header lines with Shift-JIS titles, hundreds of #WAV
lines, #BMP lines and thousands of channel lines, CR LF line ends.
    gen_charts.py FOLDER COUNT"""
import os
import random
import sys

TITLES = ["桜の雨", "夜明けのメロディ", "ｽﾋﾟｰﾄﾞｽﾀｰ", "月光", "Crystal Rain", "雪解け"]
GENRES = ["ピアノ", "TRANCE", "J-POP", "ハードコア"]


def base36(n):
    digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    return digits[n // 36] + digits[n % 36]


def chart(rng, k):
    lines = ["*---------------------- HEADER FIELD", "", "#PLAYER 1",
             "#GENRE " + rng.choice(GENRES), "#TITLE %s [%d]" % (rng.choice(TITLES), k),
             "#ARTIST 作曲者%d" % k, "#BPM %d" % rng.randint(90, 200), "#PLAYLEVEL %d" % rng.randint(1, 12),
             "#RANK 2", "#TOTAL 300", "#STAGEFILE title.bmp", ""]
    for i in range(1, rng.randint(300, 700)):
        name = rng.choice(["kick", "snare", "hihat", "piano_%d" % i, "ボーカル_%d" % i, "bass"])
        ext = rng.choice([".wav", ".wav", ".wav", ".WAV", ".ogg"])
        cmd = "#WAV" if rng.random() < 0.95 else "#wav"
        lines.append("%s%s %s%s" % (cmd, base36(i), name, ext))
    for i in range(1, rng.randint(5, 40)):
        lines.append("#BMP%s bga_%03d.bmp" % (base36(i), i))
    lines += ["", "*---------------------- MAIN DATA FIELD", ""]
    for bar in range(rng.randint(2000, 4000) // 8):
        for channel in ("11", "12", "13", "14", "15", "18", "19", "01"):
            notes = "".join(rng.choice(["00", "00", "01", "0A", "1F", "2Z"]) for _ in range(rng.choice([4, 8, 16])))
            lines.append("#%03d%s:%s" % (bar, channel, notes))
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20261206)
    for k in range(count):
        with open(os.path.join(folder, "chart_%04d.bms" % k), "wb") as f:
            f.write(chart(rng, k))


if __name__ == "__main__":
    main()
