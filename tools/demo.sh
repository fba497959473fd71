#!/usr/bin/env bash
# The main job: build the plug-in in Release, install it into ~/.vst, show what a host sees of it,
# and render the built-in demo riff through the installed plug-in into ub37t-demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target ub37t vsthost
mkdir -p "$HOME/.vst"
# Replace the file instead of writing into it: a host that has the old one loaded keeps its copy.
install -m 755 build/ub37t.so "$HOME/.vst/.ub37t.so.new"
mv -f "$HOME/.vst/.ub37t.so.new" "$HOME/.vst/ub37t.so"
echo "installed $HOME/.vst/ub37t.so"
echo
build/vsthost info "$HOME/.vst/ub37t.so"
echo
build/vsthost render "$HOME/.vst/ub37t.so" -o ub37t-demo.wav --set Drive=80 --set Level=100 --set Oversampling=8
echo
echo "listen: $(pwd)/ub37t-demo.wav"
