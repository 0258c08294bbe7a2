#!/usr/bin/env bash
# Builds the decoders the Windows programs link, libspng and libjpeg-turbo,
# as static MinGW-w64 libraries from Debian's source packages (with Debian's
# patches), into PREFIX: include/, lib/ and lib/pkgconfig/spng.pc. libspng is
# its one source file; libjpeg-turbo is built by its own CMake files without
# its SIMD code, which would need nasm. zlib comes from Debian's
# libz-mingw-w64-dev and is copied beside them, so that the link takes the
# static library rather than the DLL's import library. A PREFIX that holds
# both libraries already is left as it is.
#
#   tests/wine/build_libraries.sh PREFIX
# Needs deb-src lines in the apt sources, dpkg-dev, mingw-w64, cmake and
# libz-mingw-w64-dev.
set -euo pipefail
cd "$(dirname "$0")/../.."
prefix=$(realpath -m "$1")
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
if [ -f "$prefix/lib/libspng.a" ] && [ -f "$prefix/lib/libjpeg.a" ]; then exit 0; fi
rm -rf "$prefix/sources"
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/sources"
cd "$prefix/sources"
apt-get source libspng libjpeg-turbo >/dev/null 2>&1 ||
  { echo "apt-get source libspng libjpeg-turbo failed (deb-src lines missing?)" >&2; exit 1; }
spng=$(find . -maxdepth 1 -type d -name 'libspng-*' | head -n 1)
jpeg=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)

x86_64-w64-mingw32-gcc-posix -O2 -DSPNG_STATIC -c "$spng/spng/spng.c" -o spng.o
x86_64-w64-mingw32-gcc-ar-posix rcs "$prefix/lib/libspng.a" spng.o
cp "$spng/spng/spng.h" "$prefix/include/"
cp /usr/x86_64-w64-mingw32/lib/libz.a "$prefix/lib/"
version=$(sed -n "s/^#define SPNG_VERSION_\(MAJOR\|MINOR\|PATCH\) \([0-9]*\)/\2/p" "$spng/spng/spng.h" | paste -sd.)
cat >"$prefix/lib/pkgconfig/spng.pc" <<PC
prefix=$prefix
includedir=\${prefix}/include
libdir=\${prefix}/lib

Name: spng
Description: PNG decoding and encoding library, static, for Windows
Version: $version
Libs: -L\${libdir} -lspng -lz
Cflags: -I\${includedir}
PC

cmake -S "$jpeg" -B jpeg-build -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF >/dev/null
cmake --build jpeg-build -j "$(nproc)" --target jpeg-static >/dev/null
cp jpeg-build/libjpeg.a "$prefix/lib/"
cp "$jpeg/jpeglib.h" "$jpeg/jerror.h" "$jpeg/jmorecfg.h" jpeg-build/jconfig.h "$prefix/include/"
