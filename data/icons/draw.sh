#!/usr/bin/env bash
# Draws the application icon (hicolor PNGs) and the hand cursor HAND-M.CUR with
# ImageMagick. The results are committed; run this only to change the art.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The icon: an address card on a blue tile, with an arrow carrying it out.
convert -size 256x256 xc:none \
  -fill '#1d5f99' -draw 'roundrectangle 8,8 247,247 44,44' \
  -fill '#2b7fc4' -draw 'roundrectangle 8,8 247,236 44,44' \
  -fill '#0f3a60' -draw 'roundrectangle 34,62 190,198 16,16' \
  -fill white -draw 'roundrectangle 30,56 186,192 16,16' \
  -fill '#2b7fc4' -draw 'circle 80,104 80,128' \
  -fill '#2b7fc4' -draw 'path "M 46,172 Q 46,136 80,136 Q 114,136 114,172 Z"' \
  -fill '#9aa9b8' -draw 'roundrectangle 126,92 170,102 5,5' \
  -draw 'roundrectangle 126,116 170,126 5,5' \
  -draw 'roundrectangle 126,140 160,150 5,5' \
  -fill '#f39c12' -stroke '#b86e00' -strokewidth 3 \
  -draw 'path "M 150,168 L 196,168 L 196,146 L 238,188 L 196,230 L 196,208 L 150,208 Z"' \
  "$tmp/icon-256.png"
for size in 32 48 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  convert "$tmp/icon-256.png" -filter Lanczos -resize "${size}x${size}" \
    -define png:exclude-chunks=date,time -strip "hicolor/${size}x${size}/apps/quarrelby.png"
done

# The hand: drawn four times larger, then reduced to 32 by 32. Its hotspot is
# the tip of the index finger.
convert -size 128x128 xc:none \
  -fill white -stroke black -strokewidth 1.1 \
  -draw 'scale 4,4 path "M 8.5,12 L 8.5,3 Q 8.5,1 10,1 Q 11.5,1 11.5,3 L 11.5,10.5 Q 13,9.2 14.5,10.5 Q 16,9.2 17.5,10.8 Q 19,9.8 20.5,11.6 L 20.5,19 Q 20.5,23 18,25.5 L 18,28.5 L 9.5,28.5 L 9.5,25.5 Q 7.5,23.5 4.5,18.5 Q 3.5,16.2 5.2,15.6 Q 6.8,15.2 8.5,17.5 Z"' \
  -fill none -draw 'scale 4,4 line 14.5,10.5 14.5,14' -draw 'scale 4,4 line 17.5,10.8 17.5,14' \
  "$tmp/hand-128.png"
convert "$tmp/hand-128.png" -filter Box -resize 32x32 "$tmp/hand.png"
convert "$tmp/hand.png" "ico:$tmp/hand.ico"
# ImageMagick writes an icon (type 1); a cursor is type 2 and keeps its
# hotspot where an icon keeps planes and bit count.
/usr/bin/python3 - "$tmp/hand.ico" ../program/HAND-M.CUR <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
struct.pack_into('<H', data, 2, 2)
struct.pack_into('<HH', data, 10, 10, 1)
open(sys.argv[2], 'wb').write(data)
PY
