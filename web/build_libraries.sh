#!/usr/bin/env bash
# Builds the decoders the WebAssembly programs link, zlib, libspng and
# libjpeg-turbo, as static WebAssembly libraries from Debian's source
# packages (with Debian's patches), into PREFIX: include/, lib/ and
# lib/pkgconfig/spng.pc. Emscripten's own ports of these libraries are
# downloaded from the network when first used, so they are not taken. zlib
# and libspng are compiled file by file with emcc; libjpeg-turbo is built by
# its own CMake files without its SIMD code. A PREFIX that holds the three
# libraries already is left as it is.
#
#   web/build_libraries.sh PREFIX
# Needs deb-src lines in the apt sources, dpkg-dev, emscripten and cmake.
set -euo pipefail
prefix=$(realpath -m "$1")
if [ -f "$prefix/lib/libz.a" ] && [ -f "$prefix/lib/libspng.a" ] && [ -f "$prefix/lib/libjpeg.a" ]; then
  exit 0
fi
rm -rf "$prefix/sources"
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/sources"
cd "$prefix/sources"

# fetch PACKAGE: the newest source version that the mirror still serves (an
# index can name a security update whose files are gone).
fetch() {
  apt-get source "$1" >/dev/null 2>&1 && return 0
  local version
  for version in $(apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -rV); do
    rm -rf ./*
    apt-get source "$1=$version" >/dev/null 2>&1 && return 0
  done
  echo "apt-get source $1 failed (deb-src lines missing?)" >&2
  exit 1
}
fetch zlib
fetch libspng
fetch libjpeg-turbo
zlib=$(find . -maxdepth 1 -type d -name 'zlib-*' | head -n 1)
spng=$(find . -maxdepth 1 -type d -name 'libspng-*' | head -n 1)
jpeg=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)

# zlib: its library sources are the .c files at the top of its tree;
# HAVE_UNISTD_H stands for what its configure script would find.
mkdir -p zlib-objects
for source in "$zlib"/*.c; do
  emcc -O2 -DHAVE_UNISTD_H -c "$source" -o "zlib-objects/$(basename "${source%.c}").o"
done
emar rcs "$prefix/lib/libz.a" zlib-objects/*.o
cp "$zlib/zlib.h" "$zlib/zconf.h" "$prefix/include/"

emcc -O2 -I"$prefix/include" -c "$spng/spng/spng.c" -o spng.o
emar rcs "$prefix/lib/libspng.a" spng.o
cp "$spng/spng/spng.h" "$prefix/include/"
version=$(sed -n "s/^#define SPNG_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)/\2/p" "$spng/spng/spng.h" | paste -sd.)
cat >"$prefix/lib/pkgconfig/spng.pc" <<PC
prefix=$prefix
includedir=\${prefix}/include
libdir=\${prefix}/lib

Name: spng
Description: PNG decoding and encoding library, static, for WebAssembly
Version: $version
Libs: -L\${libdir} -lspng -lz
Cflags: -I\${includedir}
PC

# The sizes of size_t and unsigned long (4 bytes on wasm32) are given: the
# CMake probe that would measure them reads a wrong size under Emscripten.
emcmake cmake -S "$jpeg" -B jpeg-build -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
  -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4 >/dev/null
cmake --build jpeg-build -j "$(nproc)" --target jpeg-static >/dev/null
cp jpeg-build/libjpeg.a "$prefix/lib/"
cp "$jpeg/jpeglib.h" "$jpeg/jerror.h" "$jpeg/jmorecfg.h" jpeg-build/jconfig.h "$prefix/include/"
