#!/usr/bin/env bash
# vsthost.exe under Wine and vsthost on Linux render the same input with the same settings into
# byte-identical files (FLAC: the same samples), through their own builds of the plug-in:
#   compare_render.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
linux=$1
windows=$2
for f in "$linux/vsthost" "$linux/ub37t.so" "$windows/vsthost.exe" "$windows/ub37t.dll"; do
  if [ ! -f "$f" ]; then
    echo "FAIL: $f is missing (build both the Linux and the Windows host and plug-in)"
    exit 1
  fi
done
out=$(mktemp -d "${TMPDIR:-/tmp}/kvx_compare_render.XXXXXX")
trap 'rm -rf "$out"' EXIT
failures=0

# same_samples A B: the two files hold the same samples (read back through the bypassed plug-in,
# which copies them bit for bit).
same_samples() {
  for f in "$1" "$2"; do
    "$linux/vsthost" render "$linux/ub37t.so" -i "$f" -o "$f.wav" --set Bypass=1 >/dev/null 2>&1 || return 1
  done
  cmp -s "$1.wav" "$2.wav"
}

# render NAME FIRST-ARGUMENTS...: one render on each system, then the files compared.
render() {
  local name=$1
  shift
  "$linux/vsthost" render "$linux/ub37t.so" -o "$out/linux-$name" "$@" >/dev/null 2>"$out/linux.err" ||
    { echo "FAIL $name: the Linux render failed"; cat "$out/linux.err"; failures=$((failures + 1)); return; }
  "${KVX_WINE:-/usr/lib/wine/wine64}" "$windows/vsthost.exe" render "$windows/ub37t.dll" -o "$out/windows-$name" "$@" >/dev/null 2>"$out/windows.err" ||
    { echo "FAIL $name: the Windows render failed"; cat "$out/windows.err"; failures=$((failures + 1)); return; }
  if cmp -s "$out/linux-$name" "$out/windows-$name"; then
    echo "same  $name ($(stat -c %s "$out/linux-$name") bytes)"
  elif [ "${name##*.}" = flac ] && same_samples "$out/linux-$name" "$out/windows-$name"; then
    # Each libFLAC picks its own way to compress the same samples.
    echo "same  $name (samples; the FLAC streams are compressed differently)"
  else
    echo "FAIL $name: the files differ: $(cmp "$out/linux-$name" "$out/windows-$name" | head -n1)"
    failures=$((failures + 1))
  fi
}

render demo32.wav --precision 32
render demo64.wav --precision 64
render drive-os8-64.wav --precision 64 --set Drive=80 --set Level=100 --set Oversampling=8
render mono-os16-32.aiff --precision 32 --set Stereo=0 --set Oversampling=16 --set Symmetric=1 --set Tone=5
render mode2-48k-64.w64 --precision 64 --rate 48000 --set Mode=1 --set Input=6 --set Output=-3 --block 333
# A file as input: both hosts read the same WAV file.
cp "$out/linux-demo32.wav" "$out/input.wav"
render from-file-32.wav --precision 32 -i "$out/input.wav" --set Drive=50
render from-file-64.caf --precision 64 -i "$out/input.wav" --set Oversampling=8
render from-file-32.flac --precision 32 -i "$out/input.wav" --set Drive=30 --set Level=100

[ "$failures" -eq 0 ] || exit 1
echo "PASS every render the same on both systems"
