#!/usr/bin/env bash
# Remakes the menu icons packaging/icons/platformer-<N>.png and the Windows icon platformer.ico
# from the figure standing facing right (top-left 16x19 frame of data/Quillorn.png). Pure white
# is the sheet's see-through colour, so it becomes transparent; the figure is enlarged by whole
# pixels only, so it stays crisp, and centred on a square. Needs ImageMagick's convert.
#
#   tools/make-icons.sh [sheet.png [output-folder]]
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
sheet=${1:-$here/data/Quillorn.png}
out=${2:-$here/packaging/icons}
sizes=(16 32 48 64 128 256)

[[ -f $sheet ]] || { echo "make-icons: no sprite sheet at $sheet" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The standing frame, white made transparent, cut down to the figure itself.
convert "$sheet" -crop 16x19+0+0 +repage -alpha set -transparent '#FFFFFF' \
  -trim +repage "$work/figure.png"
read -r w h < <(identify -format '%w %h\n' "$work/figure.png")
if [[ $(convert "$work/figure.png" -alpha extract -format '%[fx:maxima]' info:) == 0 ]]; then
  echo "make-icons: the standing frame of $sheet is empty" >&2
  exit 1
fi
side=$(( w > h ? w : h ))

for n in "${sizes[@]}"; do
  scale=$(( n / side ))
  # Too small for one pixel per pixel (16x16 for a 19-pixel-tall figure): squeeze with
  # nearest neighbour rather than blur.
  (( scale >= 1 )) && px=$(( scale * side )) || px=$n
  convert "$work/figure.png" -background none -gravity center -extent "${side}x${side}" \
    -filter point -resize "${px}x${px}" -extent "${n}x${n}" \
    -strip -define png:exclude-chunks=date,time "PNG32:$out/platformer-$n.png"
done
echo "make-icons: wrote ${sizes[*]} pixel icons to $out"

# The Windows icon holds the same pictures as they are: an icon file may carry PNGs whole.
/usr/bin/python3 - "$out" 16 32 48 256 <<'PY'
import struct, sys
out, sizes = sys.argv[1], [int(n) for n in sys.argv[2:]]
pictures = [open(f"{out}/platformer-{n}.png", "rb").read() for n in sizes]
offset = 6 + 16 * len(pictures)
entries = b""
for n, data in zip(sizes, pictures):
    entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
with open(f"{out}/platformer.ico", "wb") as ico:
    ico.write(struct.pack("<HHH", 0, 1, len(pictures)) + entries + b"".join(pictures))
PY
echo "make-icons: wrote $out/platformer.ico"
