#!/usr/bin/env bash
# Renders the README's pictures of the windows into docs/, offscreen (no display needed): the text
# editor with its find dialog open, the library window with its test pane. Uses the default build
# directory.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -d build ] || cmake --preset default
cmake --build build --target glimmerpick_screenshots
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tools/screenshots/glimmerpick_screenshots docs build/bin/resources
echo "screenshots: docs/text-editor.png docs/library-window.png"
