#!/usr/bin/env bash
# Renders the text editor's toolbar pictures from their SVG sources into the 48 x 48 PNG files the
# program embeds (src/ui/icons/*.png, listed in src/ui/icons/icons.qrc). Run it after editing an
# SVG and commit both; the build itself needs no SVG renderer. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../src/ui/icons"
command -v rsvg-convert >/dev/null || { echo "render-icons: install librsvg2-bin" >&2; exit 1; }
for svg in *.svg; do
  rsvg-convert --width 48 --height 48 --format png --output "${svg%.svg}.png" "$svg"
done
echo "render-icons: $(ls *.svg | wc -l) pictures"
