#!/usr/bin/env bash
# Renders the editor's artwork again: every SVG of editor/art/ into its PNG next to it, and the
# contact sheet docs/artwork.png. Needs librsvg (tools/deps.sh installs it); builds kvx_art in
# the build directory given (default build/) first.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target kvx_art
"$build/kvx_art" editor/art editor/art --sheet docs/artwork.png
echo "artwork written to editor/art/ and docs/artwork.png"
