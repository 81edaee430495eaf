#!/usr/bin/env bash
# Draws the tool bar and menu images, resources/icons/NAME.png: 24 x 24 pixels with transparency,
# and NAME@2x.png, the same design drawn at 48 x 48 for screens scaled to 150 % and more.
# The program shows them when the desktop icon theme lacks the matching freedesktop icon.
# Straight edges are drawn without antialiasing on whole pixels so they stay sharp at 24 x 24;
# slanted and round parts are antialiased. Needs ImageMagick and the DejaVu fonts (Debian:
# imagemagick fonts-dejavu-core). Run it again after changing a design and commit the pictures;
# the build only reads them. An optional argument names another output folder.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-resources/icons}
fonts=/usr/share/fonts/truetype/dejavu
serif=$fonts/DejaVuSerif-Bold.ttf
[ -r "$serif" ] || { echo "make_icons: missing font $serif (package fonts-dejavu-core)" >&2; exit 1; }
if command -v magick > /dev/null; then im=(magick); else im=(convert); fi
mkdir -p "$out"

# The palette shared by every image.
ink='#333333'    # outlines
paper='#ffffff'
light='#d8d8d8'  # folded corners, shutters
grey='#9a9a9a'   # text lines, the door
blue='#2a6fb0'
pale='#cfe1f3'   # glass, header cells
navy='#000080'
red='#cc0000'
green='#008000'
yellow='#e8b030'
amber='#b8801a' # the back of the folder

# icon NAME DRAWING-ARGUMENTS... draws on a clear 24 x 24 canvas with crisp 1-pixel outlines,
# then the same arguments on a 48 x 48 canvas through an affine that doubles them.
# The coordinates name pixel centres, so pixel i of the small image becomes pixels 2i and 2i + 1
# of the large one: x -> 2x + 0.5. A 1-pixel stroke on a whole coordinate then covers exactly
# two whole pixels, with no antialiasing needed. Filling without a stroke does not scale that
# way: it takes the pixels whose centres lie within the shape, so a crisp unstroked rectangle at
# 24 x 24 would lose a pixel at each side at 48 x 48. Crisp parts are therefore stroked in their
# fill colour instead, which gives the same 24 x 24 pixels. Text goes through -draw text, which
# follows the affine (-annotate does not); 'point' does not follow it either, see pixels().
icon() {
    local name=$1 scale size
    shift
    for scale in 1 2; do
        size=$((24 * scale))
        local file=$out/$name.png transform=()
        if [ "$scale" = 2 ]; then
            file=$out/$name@2x.png
            transform=(-affine '2,0,0,2,0.5,0.5')
        fi
        "${im[@]}" -size "${size}x$size" xc:none "${transform[@]}" \
            +antialias -strokewidth 1 -stroke "$ink" "$@" \
            -strip -define png:exclude-chunks=date,time -define png:color-type=6 -depth 8 \
            PNG32:"$file"
        count=$((count + 1))
    done
}
count=0

# Parts used by more than one image.
page_lines() { # x1 x2 y... : grey text lines across a page
    local x1=$1 x2=$2
    shift 2
    local y
    for y in "$@"; do printf -- '-draw\0line %d,%d %d,%d\0' "$x1" "$y" "$x2" "$y"; done
}
floppy() { # x y : a 17 x 17 floppy disk with its top left corner at x,y
    local x=$1 y=$2
    local r=$((x + 16)) b=$((y + 16))
    printf -- '%s\0' \
        -fill "$blue" -draw "polygon $x,$y $((r - 2)),$y $r,$((y + 2)) $r,$b $x,$b" \
        -fill "$light" -draw "rectangle $((x + 4)),$y $((r - 3)),$((y + 5))" \
        -stroke "$blue" -fill "$blue" -draw "rectangle $((r - 6)),$((y + 1)) $((r - 5)),$((y + 4))" \
        -stroke "$ink" -fill "$paper" -draw "rectangle $((x + 3)),$((y + 9)) $((r - 3)),$b" \
        -stroke "$grey" -draw "line $((x + 5)),$((y + 12)) $((r - 5)),$((y + 12))" \
        -draw "line $((x + 5)),$((y + 14)) $((r - 5)),$((y + 14))" -stroke "$ink"
}
down_arrow() { # colour : a thick arrow pointing down to a bar
    printf -- '%s\0' -fill "$1" -antialias \
        -draw 'polygon 10,2 13,2 13,10 17.5,10 11.5,16 5.5,10 10,10' \
        +antialias -draw 'rectangle 4,19 19,21'
}
window() { # x1 y1 x2 y2 : a window with a blue title bar
    printf -- '%s\0' -fill "$paper" -draw "rectangle $1,$2 $3,$4" \
        -fill "$blue" -draw "rectangle $1,$2 $3,$(($2 + 3))"
}
magnifier() { # cx cy r handle-end : glass centred at cx,cy, handle running down right
    local cx=$1 cy=$2 r=$3 e=$4
    local h=$((cx + r * 7 / 10 + 1))
    printf -- '%s\0' -antialias \
        -stroke "$ink" -strokewidth 3.2 -draw "line $h,$h $e,$e" -strokewidth 1 \
        -fill "$pale" -stroke "$ink" -strokewidth 2 -draw "circle $cx,$cy $((cx + r)),$cy" \
        -stroke "$paper" -strokewidth 1.2 -fill none \
        -draw "arc $((cx - r + 3)),$((cy - r + 3)) $((cx + r - 3)),$((cy + r - 3)) 190,260" \
        -strokewidth 1 -stroke "$ink" +antialias
}
pixels() { # x y colour row... : a small bitmap, one string per row, '#' marks a pixel
    # Each run of marked pixels is a thin stroked rectangle, which doubles with the image.
    local x=$1 y=$2 row i start
    printf -- '-stroke\0%s\0-fill\0%s\0' "$3" "$3"
    shift 3
    for row in "$@"; do
        start=-1
        for ((i = 0; i <= ${#row}; i++)); do
            if [ "${row:i:1}" = '#' ]; then
                [ "$start" -ge 0 ] || start=$i
            elif [ "$start" -ge 0 ]; then
                printf -- '-draw\0rectangle %d,%d %d,%d\0' $((x + start)) "$y" $((x + i - 1)) "$y"
                start=-1
            fi
        done
        y=$((y + 1))
    done
}

# new: a blank page with a folded corner and a green plus.
icon new \
    -fill "$paper" -draw 'polygon 4,2 14,2 18,6 18,21 4,21' \
    -fill "$light" -draw 'polygon 14,2 14,6 18,6' \
    -fill "$green" -draw 'polygon 15,12 18,12 18,15 21,15 21,18 18,18 18,21 15,21 15,18 12,18 12,15 15,15'

# open: a folder with a sheet showing over its back.
icon open \
    -fill "$amber" -draw 'polygon 2,5 8,5 10,7 19,7 19,19 2,19' \
    -fill "$paper" -draw 'rectangle 4,9 17,15' \
    -antialias -fill "$yellow" -draw 'polygon 5.5,11 22.5,11 19.5,19 1.5,19' +antialias

# save: a floppy disk.
mapfile -d '' -t f < <(floppy 3 3)
icon save "${f[@]}"

# saveas: a floppy disk with a pencil writing over it.
mapfile -d '' -t f < <(floppy 1 2)
icon saveas "${f[@]}" -antialias \
    -fill "$yellow" -draw 'polygon 19,8 23,12 15,20 11,16' \
    -fill "$light" -draw 'polygon 11,16 15,20 10,21' \
    -fill "$red" -draw 'polygon 19,8 23,12 21.5,13.5 17.5,9.5' \
    -stroke none -fill "$ink" -draw 'polygon 9.5,19.3 10.7,20.5 9.3,21' +antialias

# exit: an open door with a green arrow leading out.
icon exit \
    -fill "$light" -draw 'rectangle 2,2 14,21' \
    -fill "$ink" -draw 'rectangle 4,4 12,21' \
    -fill "$grey" -draw 'polygon 4,4 9,6 9,20 4,21' \
    -fill "$ink" -draw 'rectangle 7,12 7,13' \
    -antialias -fill "$green" -draw 'polygon 11,10 16,10 16,6 22,12 16,18 16,14 11,14' +antialias

# find: a magnifying glass.
mapfile -d '' -t f < <(magnifier 9 9 6 20)
icon find "${f[@]}"

# findagain: a smaller magnifying glass with a blue arrow pointing down to the next match.
mapfile -d '' -t f < <(magnifier 8 8 5 15)
icon findagain "${f[@]}" -antialias \
    -fill "$blue" -draw 'polygon 17,11 20,11 20,16 23,16 18.5,21.5 14,16 17,16' +antialias

# nextuntranslated, nextmissing: an arrow down to a bar in the grid's colours for those states.
mapfile -d '' -t f < <(down_arrow "$navy")
icon nextuntranslated "${f[@]}"
mapfile -d '' -t f < <(down_arrow "$red")
icon nextmissing "${f[@]}"

# font: a large serif A and a small blue a.
icon font -antialias -stroke none \
    -font "$serif" -pointsize 19 -fill "$ink" -draw "text 2,19 'A'" \
    -pointsize 12 -fill "$blue" -draw "text 15,21 'a'"

# grid: a table of three by three cells with a tinted header row.
icon grid \
    -fill "$paper" -draw 'rectangle 2,3 21,20' \
    -fill "$pale" -draw 'rectangle 2,3 21,8' \
    -draw 'line 2,14 21,14' -draw 'line 8,3 8,20' -draw 'line 15,3 15,20'

# original: a page of source text, "abc" over grey lines. The letters are drawn pixel by pixel
# because no font stays legible at this size.
mapfile -d '' -t l < <(page_lines 6 17 13 15 17 19)
mapfile -d '' -t t < <(pixels 6 4 "$navy" \
    '.....#.......' \
    '.....#.......' \
    '.##..###...##' \
    '...#.#..#.#..' \
    '.###.#..#.#..' \
    '#..#.#..#.#..' \
    '.###.###...##')
icon original \
    -fill "$paper" -draw 'rectangle 3,2 20,21' \
    "${t[@]}" -stroke "$grey" "${l[@]}"

# toolbar: a window with a row of small buttons under its title bar.
mapfile -d '' -t f < <(window 2 3 21 20)
icon toolbar "${f[@]}" \
    -stroke "$grey" -draw 'line 3,12 20,12' -stroke "$ink" \
    -fill "$blue" -draw 'rectangle 4,8 6,10' \
    -fill "$green" -draw 'rectangle 8,8 10,10' \
    -fill "$red" -draw 'rectangle 12,8 14,10'

# credits: a red heart.
icon credits -antialias -fill "$red" \
    -draw 'path "M 12,20.5 C 6,16 2,12.5 2,8.5 C 2,5.5 4,3.5 7,3.5 C 9.2,3.5 11,5 12,6.8 C 13,5 14.8,3.5 17,3.5 C 20,3.5 22,5.5 22,8.5 C 22,12.5 18,16 12,20.5 Z"' \
    -stroke none -fill '#ffffff90' -draw 'ellipse 6.5,8 1.5,2.2 0,360'

# about: a blue disc with a white "i".
icon about -antialias -fill "$blue" -draw 'circle 11.5,11.5 11.5,1' \
    -stroke none -fill "$paper" -draw 'circle 11.5,6.5 11.5,5' \
    +antialias -stroke "$paper" -draw 'rectangle 11,10 12,17' -draw 'rectangle 10,10 10,10' \
    -draw 'rectangle 9,17 14,17'

# hidetoolbar: a small window with a red close badge.
mapfile -d '' -t f < <(window 1 2 17 16)
icon hidetoolbar "${f[@]}" \
    -stroke "$grey" -draw 'line 2,10 16,10' -stroke "$ink" \
    -antialias -fill "$red" -draw 'circle 17,17 17,11.5' \
    -stroke "$paper" -strokewidth 1.6 -draw 'line 15,15 19,19' -draw 'line 19,15 15,19' +antialias

# copy: two overlapping pages.
mapfile -d '' -t a < <(page_lines 5 11 5 7 9 11)
mapfile -d '' -t b < <(page_lines 11 17 11 13 15 17)
icon copy \
    -fill "$paper" -draw 'rectangle 3,2 13,16' -stroke "$grey" "${a[@]}" -stroke "$ink" \
    -fill "$paper" -draw 'rectangle 9,8 19,21' -stroke "$grey" "${b[@]}"

echo "wrote $count images in $out"
