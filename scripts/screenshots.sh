#!/usr/bin/env bash
# Renders the README's picture of the text editor with its find dialog open into docs/, offscreen
# (no display needed). Uses the default build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -d build ] || cmake --preset default
cmake --build build --target glimmerpick_screenshots
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tools/screenshots/glimmerpick_screenshots docs/text-editor.png
echo "screenshots: docs/text-editor.png"
