#!/usr/bin/env bash
# Writes the HEIC, AVIF and WebP fixtures of phone_picture_tests into $1,
# with Debian's encoders (heif-enc, avifenc, cwebp, img2webp, webpmux) from
# sources drawn by ImageMagick. The tests know the sources' content; they
# read the PNG and JPEG sources with the saver's own decoders.
set -euo pipefail

out=${1:?usage: make_phone_pictures.sh OUTPUT-DIR}
rm -rf "$out.tmp"
mkdir -p "$out.tmp"
cd "$out.tmp"

# No gamma or colour chunks: the samples are the picture.
png() {
  local name=$1
  shift
  convert "$@" -strip -define png:exclude-chunks=date,time "$name"
}

# A gradient with a green block at the top left, so that a turned or
# mirrored decode shows.
drawn() {
  local size=$1 block=$2 name=$3
  png "PNG24:$name" -size "$size" gradient:'#2040c0-#e0c040' -fill '#20c040' \
    -draw "rectangle $block"
}
drawn 96x64 0,0,31,23 landscape.png
drawn 64x96 0,0,23,31 portrait.png
# Big enough for a 2x2 grid of AVIF's smallest tiles.
drawn 256x128 0,0,79,39 wide.png

for shape in landscape portrait; do
  heif-enc -q 90 -p chroma=444 -o "$shape.heic" "$shape.png" >/dev/null
  avifenc -s 8 --min 4 --max 12 -y 444 "$shape.png" "$shape.avif" >/dev/null
  cwebp -quiet -q 90 "$shape.png" -o "$shape.webp"
  cwebp -quiet -lossless "$shape.png" -o "$shape-lossless.webp"
done
avifenc -s 8 --min 4 --max 12 -y 444 --grid 2x2 wide.png grid.avif >/dev/null

# Left half (200, 100, 50) at alpha 128, right half opaque (40, 80, 160).
png PNG32:alpha.png -size 32x16 xc:'rgba(200,100,50,0.50196)' \
  \( -size 32x16 xc:'rgb(40,80,160)' \) +append
heif-enc -q 95 -p chroma=444 -o alpha.heic alpha.png >/dev/null
avifenc -s 8 --min 0 --max 4 --minalpha 0 --maxalpha 0 -y 444 alpha.png alpha.avif >/dev/null
cwebp -quiet -lossless -exact alpha.png -o alpha.webp
# Colours that already carry their alpha: (100, 50, 25) at alpha 128 is
# shown as it is.
png PNG32:premultiplied.png -size 16x16 xc:'rgba(100,50,25,0.50196)'
heif-enc -q 95 -p chroma=444 --premultiplied-alpha -o premultiplied.heic premultiplied.png >/dev/null

# 10-bit, lossless: samples 13005, 33240 and 65088 of 65535 are 10-bit 203,
# 519 and 1016, which round to 8-bit 51, 129 and 253 (dropping the low two
# bits would give 50, 129 and 254).
png PNG48:deep.png -depth 16 -size 16x16 xc:'#32CD81D8FE40'
avifenc -s 8 --lossless -d 10 deep.png deep.avif >/dev/null 2>&1

# The landscape source as a camera stores a portrait shot: EXIF orientation
# 6 (turn clockwise to view). The block ends with its one directory (no
# next-directory link): heif-enc 1.15 reads the tag only then.
printf 'II\x2a\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00' \
  >exif-clockwise.bin
convert landscape.png -quality 95 -sampling-factor 1x1 -strip landscape.jpg
{
  head -c 2 landscape.jpg
  printf '\xff\xe1\x00\x1eExif\x00\x00'
  cat exif-clockwise.bin
  tail -c +3 landscape.jpg
} >clockwise.jpg
# heif-enc turns the EXIF orientation into irot/imir and keeps the EXIF
# block, orientation and all, as phones do.
heif-enc -q 90 -p chroma=444 -o clockwise.heic clockwise.jpg >/dev/null
# AVIF's own rotation (a quarter anticlockwise) and mirror (left to right).
avifenc -s 8 --min 4 --max 12 -y 444 --irot 1 landscape.png irot.avif >/dev/null
avifenc -s 8 --min 4 --max 12 -y 444 --imir 1 landscape.png imir.avif >/dev/null
webpmux -set exif exif-clockwise.bin landscape-lossless.webp -o clockwise.webp >/dev/null 2>&1

# Animations: a red first frame, then a blue one.
png PNG24:red.png -size 24x16 xc:'rgb(220,30,30)'
png PNG24:blue.png -size 24x16 xc:'rgb(30,30,220)'
img2webp -lossless red.png -d 100 blue.png -o animated.webp >/dev/null 2>&1
avifenc -s 8 --min 0 --max 4 -y 444 red.png blue.png sequence.avif >/dev/null

rm -rf "$out"
mv "$out.tmp" "$out"
