#!/usr/bin/env bash
# Installs what the Windows cross-build needs, only when something is missing:
#   - Debian's mingw-w64 (POSIX threads), its zlib, Wine;
#   - libsndfile, GoogleTest and Google Benchmark, cross-built from Debian's own source packages
#     into a prefix under the Windows build folder.
# Usage: tools/windows-deps.sh [build folder [ON|OFF]]   (default build-windows; OFF: no Google
#        Benchmark, which only the benchmarks need)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-windows}
with_benchmark=${2:-ON}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
prefix="$build/prefix"
srcdir="$build/deps"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          mingw-w64-x86-64-dev libz-mingw-w64-dev wine64 dpkg-dev cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The source packages come from the same Debian archive as the binary ones: list deb-src entries
# beside every deb entry once.
ensure_deb_src() {
  if apt-cache showsrc googletest 2>/dev/null | grep -q '^Package:'; then return; fi
  local list=/etc/apt/sources.list.d/kvx-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee "$list" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/kvx-deb-src.list >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
}

# fetch <source package>: unpacks Debian's source (with Debian's patches) and prints its folder.
fetch() {
  local pkg=$1
  mkdir -p "$srcdir"
  local dir
  dir=$(find "$srcdir" -maxdepth 1 -type d -name "$pkg-[0-9]*" | head -n1)
  if [ -z "$dir" ]; then
    ensure_deb_src
    (cd "$srcdir" && apt-get source -qq "$pkg" >/dev/null 2>&1) ||
      (cd "$srcdir" && apt-get source "$pkg")
    dir=$(find "$srcdir" -maxdepth 1 -type d -name "$pkg-[0-9]*" | head -n1)
  fi
  echo "$dir"
}

cross_cmake() {
  local src=$1 bld=$2
  shift 2
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKVX_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null
  cmake --build "$bld" -j "$jobs" >/dev/null
  cmake --install "$bld" >/dev/null
}

if [ ! -f "$prefix/lib/libgtest.a" ]; then
  echo "cross-building GoogleTest"
  src=$(fetch googletest)
  cross_cmake "$src" "$srcdir/googletest-build" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF
fi

if [ "$with_benchmark" = ON ] && [ ! -f "$prefix/lib/libbenchmark.a" ]; then
  echo "cross-building Google Benchmark"
  src=$(fetch benchmark)
  # The version Debian's rules pass; the source package carries no git history to read it from.
  cross_cmake "$src" "$srcdir/benchmark-build" -DGIT_VERSION="${src##*/benchmark-}" -DBENCHMARK_ENABLE_TESTING=OFF \
    -DBENCHMARK_ENABLE_GTEST_TESTS=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_LTO=OFF
fi

# The codecs libsndfile reads and writes FLAC, Ogg Vorbis and Opus with. MPEG stays out.
if [ ! -f "$prefix/lib/libogg.a" ]; then
  echo "cross-building libogg"
  src=$(fetch libogg)
  cross_cmake "$src" "$srcdir/libogg-build" -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF
fi
if [ ! -f "$prefix/lib/libvorbis.a" ]; then
  echo "cross-building libvorbis"
  src=$(fetch libvorbis)
  cross_cmake "$src" "$srcdir/libvorbis-build" -DCMAKE_PREFIX_PATH="$prefix"
fi
if [ ! -f "$prefix/lib/libopus.a" ]; then
  echo "cross-building opus"
  src=$(fetch opus)
  # Its release carries an incomplete CMake build: configure it the autotools way. The stack
  # protector and _FORTIFY_SOURCE would need libssp at every link.
  mkdir -p "$srcdir/opus-build"
  (cd "$srcdir/opus-build" &&
    "$src/configure" --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix CFLAGS="-O2 -D_FORTIFY_SOURCE=0" \
      --prefix="$prefix" \
      --disable-shared --enable-static --disable-extra-programs --disable-doc --disable-stack-protector \
      >/dev/null &&
    make -j "$jobs" >/dev/null && make install >/dev/null)
fi
if [ ! -f "$prefix/lib/libFLAC.a" ]; then
  echo "cross-building FLAC"
  src=$(fetch flac)
  cross_cmake "$src" "$srcdir/flac-build" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_PROGRAMS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DBUILD_CXXLIBS=OFF \
    -DWITH_OGG=ON -DWITH_STACK_PROTECTOR=OFF
fi

# libsndfile with those codecs, linked statically like everything else.
if [ ! -f "$prefix/lib/libsndfile.a" ]; then
  echo "cross-building libsndfile"
  src=$(fetch libsndfile)
  cross_cmake "$src" "$srcdir/libsndfile-build" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_PROGRAMS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF -DENABLE_CPACK=OFF \
    -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=ON -DBUILD_REGTEST=OFF -DCMAKE_C_FLAGS=-DFLAC__NO_DLL
fi
