#!/usr/bin/env bash
# Regenerates the reference BMP and JPEG files of the imaging tests with
# ImageMagick and libjpeg's tools. The files are committed; tests only read
# them. Run from this folder: ./make-imaging-data.sh
set -euo pipefail
IM=/usr/bin/convert
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A grey image holding every level 0..255 once or more (17 x 16), so that an
# indexed file's palette is the full ascending ramp and indices equal levels.
python3 - "$tmp/levels.pgm" <<'PY'
import sys
w, h = 17, 16
open(sys.argv[1], "wb").write(b"P5\n%d %d\n255\n" % (w, h) + bytes((y * w + x) * 7 % 256 for y in range(h) for x in range(w)))
PY
# A colour scene: gradient background with shapes, odd sizes.
$IM -size 101x37 gradient:'#2040a0'-'#f0c020' -fill '#c02020' -draw 'circle 30,18 42,18' \
    -fill '#20c040' -draw 'rectangle 60,5 90,30' "$tmp/scene.ppm"
$IM -size 64x48 gradient:black-white -fill gray30 -draw 'circle 32,24 44,24' "$tmp/grey.pgm"

# BMP: readable 8- and 24-bit files, and files that must be refused.
$IM "$tmp/levels.pgm" -type Palette -compress None BMP3:bmp/gray8-17x16.bmp
$IM "$tmp/scene.ppm" -crop 13x7+25+12 +repage -type TrueColor BMP3:bmp/rgb24-13x7.bmp
$IM "$tmp/scene.ppm" -crop 13x7+25+12 +repage -type TrueColor BMP:bmp/v5header-13x7.bmp
$IM "$tmp/levels.pgm" -type Palette -compress RLE BMP3:bmp/rle8-17x16.bmp
$IM "$tmp/scene.ppm" -crop 13x7+0+0 +repage -colors 8 BMP3:bmp/indexed4-13x7.bmp
$IM "$tmp/scene.ppm" -crop 13x7+25+12 +repage -alpha set -channel A -evaluate set 50% +channel \
    -define bmp:format=bmp3 -define bmp3:alpha=true BMP:bmp/bgra32-13x7.bmp
head -c 150 bmp/rgb24-13x7.bmp > bmp/truncated.bmp
python3 - <<'PY'
import random, struct
random.seed(7)
open("bmp/garbage.bmp", "wb").write(b"BM" + bytes(random.randrange(256) for _ in range(400)))
# A 24-bit header claiming 60000 x 60000 pixels over 64 bytes of data.
info = struct.pack("<IiiHHIIiiII", 40, 60000, 60000, 1, 24, 0, 0, 1, 1, 0, 0)
open("bmp/oversized.bmp", "wb").write(b"BM" + struct.pack("<IHHI", 14 + 40 + 64, 0, 0, 54) + info + bytes(64))
PY

# JPEG: baseline, progressive, grey and CMYK files, then damaged ones.
cjpeg -quality 90 -outfile jpeg/baseline-101x37.jpg "$tmp/scene.ppm"
cjpeg -quality 90 -progressive -outfile jpeg/progressive-101x37.jpg "$tmp/scene.ppm"
cjpeg -quality 90 -grayscale -outfile jpeg/grey-64x48.jpg "$tmp/grey.pgm"
$IM "$tmp/scene.ppm" -colorspace CMYK -quality 90 jpeg/cmyk-101x37.jpg
size=$(stat -c %s jpeg/baseline-101x37.jpg)
head -c $((size * 6 / 10)) jpeg/baseline-101x37.jpg > jpeg/truncated.jpg
python3 - <<'PY'
import random
random.seed(11)
open("jpeg/garbage.jpg", "wb").write(b"\xff\xd8" + bytes(random.randrange(256) for _ in range(600)))
# The baseline file with its frame header claiming 20000 x 20000 pixels.
data = bytearray(open("jpeg/baseline-101x37.jpg", "rb").read())
sof = data.index(b"\xff\xc0")
data[sof + 5:sof + 9] = (20000).to_bytes(2, "big") * 2
open("jpeg/oversized.jpg", "wb").write(bytes(data))
PY
