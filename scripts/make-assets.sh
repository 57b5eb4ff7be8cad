#!/usr/bin/env bash
# Renders the pictures in assets/svg into the bitmaps, icons and cursor of
# res/, and makes the sound and the two animations (assets/make_media.py).
# The outputs are committed, so a build never needs these tools.
#
# Needs: rsvg-convert (librsvg2-bin), ImageMagick 6 (/usr/bin/convert),
# python3.
#
# Usage: scripts/make-assets.sh [--sheet FILE.png]
#   --sheet  also writes a contact sheet of every picture, for review.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SVG="$ROOT/assets/svg"
RES="$ROOT/res"
# An earlier `convert` on PATH may be a stand-in; use ImageMagick's own.
CONVERT=/usr/bin/convert
MONTAGE=/usr/bin/montage

SHEET=""
if [[ "${1:-}" == "--sheet" ]]; then
    SHEET="${2:?--sheet needs a file name}"
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Bitmaps are drawn with white as the transparent colour. Edge pixels are
# blended over a light button-face grey so they look smooth on the pages;
# nearly transparent ones become pure white, and pure white inside a
# picture is moved to #FEFEFE so that it stays visible.
FACE='#F0F0F0'
CUTOFF='12%'

render_png() {  # svg width height out.png
    rsvg-convert -w "$2" -h "$3" "$1" -o "$4"
}

# bitmap NAME.svg WIDTHxHEIGHT OUT.bmp [grey]
bitmap() {
    local svg="$SVG/$1" size="$2" out="$RES/$3" look="${4:-colour}"
    local w="${size%x*}" h="${size#*x}"
    local png="$WORK/${3%.bmp}.png"
    render_png "$svg" "$w" "$h" "$png"
    if [[ "$look" == grey ]]; then
        # The quiet look of a page button that is not pointed at.
        $CONVERT "$png" -modulate 108,8 "$png"
    fi
    $CONVERT -size "${w}x${h}" xc:'#FFFFFF' \
        \( "$png" -background "$FACE" -flatten -fill '#FEFEFE' -opaque '#FFFFFF' \) \
        \( "$png" -alpha extract -threshold "$CUTOFF" \) \
        -composite -alpha off -type TrueColor "BMP3:$out"
    echo "  $3"
}

# icon NAME.svg OUT.ico: 16, 32 and 48 pixels, 32-bit with alpha and masks.
icon() {
    local svg="$SVG/$1" out="$RES/$2" parts=()
    for s in 16 32 48; do
        render_png "$svg" "$s" "$s" "$WORK/i$s.png"
        parts+=("$WORK/i$s.png")
    done
    $CONVERT "${parts[@]}" "$out"
    echo "  $2"
}

# cursor NAME.svg OUT.cur HOTX HOTY: one 32x32 image. An .ico and a .cur
# differ only in the file type and in the two entry fields that hold the
# hot spot, so the icon ImageMagick writes is patched.
cursor() {
    local svg="$SVG/$1" out="$RES/$2"
    render_png "$svg" 32 32 "$WORK/c32.png"
    $CONVERT "$WORK/c32.png" "$WORK/c.ico"
    python3 - "$WORK/c.ico" "$out" "$3" "$4" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
reserved, kind, count = struct.unpack_from('<HHH', data, 0)
assert kind == 1 and count == 1, 'expected a one-image icon'
struct.pack_into('<H', data, 2, 2)                     # type: cursor
struct.pack_into('<HH', data, 6 + 4, int(sys.argv[3]), int(sys.argv[4]))
open(sys.argv[2], 'wb').write(data)
EOF
    echo "  $2"
}

echo "bitmaps:"
bitmap logo.svg            220x120 logo.bmp
for page in info shield scan memory quarantine tools repair startup; do
    bitmap "page_$page.svg" 40x40 "page_${page}_hover.bmp"
    bitmap "page_$page.svg" 40x40 "page_$page.bmp" grey
done
bitmap shield_active.svg   48x48 shield_active.bmp
bitmap shield_emblem.svg   80x80 shield_emblem.bmp
bitmap delete.svg          32x32 delete.bmp
bitmap stop.svg            32x32 stop.bmp
bitmap scan.svg            32x32 scan.bmp
bitmap restore.svg         32x32 restore.bmp
bitmap refresh.svg         32x32 refresh.bmp
bitmap safe_remove.svg     48x48 safe_remove.bmp
bitmap immunize.svg        48x48 immunize.bmp
bitmap cancel_immunity.svg 48x48 cancel_immunity.bmp
bitmap repair_registry.svg 48x48 repair_registry.bmp
bitmap cleanup.svg         48x48 cleanup.bmp
bitmap shutdown.svg        48x48 shutdown.bmp
bitmap cancel_shutdown.svg 48x48 cancel_shutdown.bmp

echo "icons:"
icon app.svg          app.ico
icon tray.svg         tray.ico
icon autorun_file.svg autorun_file.ico
icon hidden_file.svg  hidden_file.ico
icon usb_drive.svg    usb_drive.ico
icon help.svg         help.ico

echo "cursor:"
cursor hand.svg hand.cur 11 3

echo "sound and animations:"
python3 "$ROOT/assets/make_media.py" "$RES"

if [[ -n "$SHEET" ]]; then
    # Every picture at twice its size on the button-face grey, each in a
    # cell of its own with its file name; the clips as strips of frames.
    mkdir -p "$WORK/sheet" "$WORK/frames"
    cell() {  # image-options... out-name
        local name="${@: -1}"
        $CONVERT "${@:1:$#-1}" -scale 200% -resize "246x166>" -background "$FACE" -gravity center \
            -extent 250x170 "$WORK/sheet/$name.png"
    }
    for f in "$RES"/*.bmp; do
        cell "$f" -fill "$FACE" -opaque '#FFFFFF' "$(basename "$f")"
    done
    for f in "$RES"/*.ico "$RES"/*.cur; do
        cell "$f" -background "$FACE" -alpha remove -gravity south +append "$(basename "$f")"
    done
    python3 "$ROOT/assets/make_media.py" --frames "$WORK/frames" >/dev/null
    for f in "$WORK"/frames/*.ppm; do
        $CONVERT "$f" "${f%.ppm}.png"
    done
    for clip in scan working; do
        $CONVERT "$WORK/frames/$clip"-*.png -bordercolor '#B0BEC5' -border 1 \
            +append -crop 4x1@ +repage -append -scale 200% "$WORK/$clip.png"
    done
    $MONTAGE -label '%t' "$WORK"/sheet/*.png -background "$FACE" \
        -geometry '+4+4' -tile 8x "$WORK/pictures.png"
    $CONVERT "$WORK/pictures.png" -background "$FACE" -gravity west \
        "$WORK/scan.png" "$WORK/working.png" -append +repage "$SHEET"
    echo "contact sheet: $SHEET"
fi
