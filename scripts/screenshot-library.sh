#!/usr/bin/env bash
# Renders the README's picture of the library window with its test pane into docs/, offscreen
# (no display needed). Uses the default build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -d build ] || cmake --preset default
cmake --build build --target glimmerpick_libraryshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tools/libraryshot/glimmerpick_libraryshot build/bin/resources docs/library-window.png
echo "screenshot: docs/library-window.png"
