#!/usr/bin/env bash
# The main job: build the plug-in in Release, install it into ~/.vst and show what a host sees.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target ub37t vsthost
mkdir -p "$HOME/.vst"
cp build/ub37t.so "$HOME/.vst/ub37t.so"
echo "installed $HOME/.vst/ub37t.so"
build/vsthost info "$HOME/.vst/ub37t.so"
