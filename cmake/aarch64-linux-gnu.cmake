# Cross-compiling for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu;
# the tests run the programs under qemu-user (package qemu-user):
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#   cmake --build build-aarch64 && ctest --test-dir build-aarch64
# GoogleTest is then built from the sources of Debian's googletest package,
# and the decoders come from Debian's arm64 packages (after dpkg
# --add-architecture arm64: libspng-dev:arm64 libjpeg62-turbo-dev:arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The target's libraries (libspng-dev:arm64, libjpeg62-turbo-dev:arm64) are
# Debian multiarch packages in /usr/lib/aarch64-linux-gnu, beside the host's;
# "/" lets the searches reach them, and pkg-config reads the target's own
# .pc files.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Runs target programs here: test discovery, CTest, and the tests that start
# the programs themselves.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
