#!/usr/bin/env bash
# Renders the windows' pictures from their SVG sources into the PNG files the program embeds
# (src/ui/icons/*.png, listed in src/CMakeLists.txt). Run it after editing an SVG and commit both;
# the build itself needs no SVG renderer. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../src/ui/icons"
command -v rsvg-convert >/dev/null || { echo "render-icons: install librsvg2-bin" >&2; exit 1; }
size() {
  case $1 in
    glimmerpick) echo 64 ;;
    dropdown) echo 16 ;;
    facebook | twitter | youtube) echo 32 ;;
    *) echo 48 ;; # the text editor's toolbar
  esac
}
for svg in *.svg; do
  n=$(size "${svg%.svg}")
  rsvg-convert --width "$n" --height "$n" --format png --output "${svg%.svg}.png" "$svg"
done
echo "render-icons: $(ls *.svg | wc -l) pictures"
