#!/usr/bin/env bash
# Renders the program's icon, dist/icons/hicolor/scalable/apps/APP_ID.svg, to the fixed sizes
# desktops and the window's own fallback look for: dist/icons/hicolor/NxN/apps/APP_ID.png.
# Needs rsvg-convert and ImageMagick (Debian: librsvg2-bin imagemagick). Run it again after
# changing the drawing and commit the pictures; the build only reads them. Metadata and
# timestamps are left out so that the same drawing always gives the same bytes.
# An optional argument names another output folder to hold the NxN folders.
set -euo pipefail
cd "$(dirname "$0")/.."

id=org.example.Quillmar
svg=dist/icons/hicolor/scalable/apps/$id.svg
out=${1:-dist/icons/hicolor}
command -v rsvg-convert > /dev/null || { echo "make_app_icon: needs rsvg-convert (package librsvg2-bin)" >&2; exit 1; }
if command -v magick > /dev/null; then im=(magick); else im=(convert); fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for size in 16 32 48 64 128 256; do
    mkdir -p "$out/${size}x$size/apps"
    rsvg-convert --width "$size" --height "$size" --format png --output "$tmp/$size.png" "$svg"
    "${im[@]}" "$tmp/$size.png" -strip -define png:exclude-chunks=date,time \
        -define png:color-type=6 -depth 8 PNG32:"$out/${size}x$size/apps/$id.png"
done
echo "wrote the icon at 16 to 256 pixels in $out"
