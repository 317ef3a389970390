#!/usr/bin/env bash
# Renders the PNG sizes of the application and .zdb icons into hicolor/, from the SVGs
# beside this script. Run by hand after changing an icon and commit the PNGs: the build
# does not render them. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
render() { # name context size
    local source="$1.svg" out="hicolor/$3x$3/$2/$1.png"
    # Below 24 px the full drawing blurs; a simpler one drawn on a 16 px grid stays sharp.
    [ "$3" -lt 24 ] && source="small/$1.svg"
    mkdir -p "$(dirname "$out")"
    rsvg-convert -w "$3" -h "$3" "$source" -o "$out"
}
for size in 16 24 32 48 64 128 256; do
    render zelkon apps "$size"
    render application-x-zelkon-zdb mimetypes "$size"
done
