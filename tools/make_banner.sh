#!/usr/bin/env bash
# Draws the About dialog's banner, resources/images/banner.png: 222 x 80 pixels, 24-bit colour,
# the program's name over a deep blue to teal band. Needs ImageMagick and the DejaVu fonts
# (Debian: imagemagick fonts-dejavu-core). Run it again after changing the design and commit
# the picture; the build only reads it.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-resources/images/banner.png}
fonts=/usr/share/fonts/truetype/dejavu
bold=$fonts/DejaVuSans-Bold.ttf
book=$fonts/DejaVuSans.ttf
for f in "$bold" "$book"; do
    [ -r "$f" ] || { echo "make_banner: missing font $f (package fonts-dejavu-core)" >&2; exit 1; }
done
if command -v magick > /dev/null; then im=(magick); else im=(convert); fi

"${im[@]}" -size 80x222 gradient:'#16335c'-'#1d7a7a' -rotate 90 \
    \( -size 222x3 xc:'#7fd6d0' \) -geometry +0+77 -composite \
    -fill none -strokewidth 2 \
    -stroke '#ffffff38' -draw 'roundrectangle 174,12 206,34 5,5' -draw 'polyline 180,34 178,41 187,34' \
    -stroke '#7fd6d070' -draw 'roundrectangle 186,26 214,46 5,5' -draw 'polyline 207,46 209,53 200,46' \
    -stroke none \
    -font "$bold" -pointsize 31 -fill '#0b1d33' -annotate +19+47 'Quillmar' \
    -fill white -annotate +17+45 'Quillmar' \
    -font "$book" -pointsize 12 -fill '#bfeeea' -annotate +19+66 'translation editor' \
    -strip -define png:exclude-chunks=date,time -define png:color-type=2 -depth 8 \
    PNG24:"$out"
echo "wrote $out"
