# Cross-compiling the Windows programs with Debian's MinGW-w64 compiler:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DPICTURE_TOOLS_TESTS=OFF -DPICTURE_TOOLS_WINDOWS_LIBRARIES=$PWD/build-windows-libraries
# where the folder named last holds static libspng and libjpeg-turbo built by
# tests/wine/build_libraries.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${PICTURE_TOOLS_WINDOWS_LIBRARIES})
# pkg-config reads the Windows libraries' .pc files only, never the host's.
# The test builds CMake makes while it configures read this file again, in
# the same process and without the folder: they leave the environment as it
# is.
if(PICTURE_TOOLS_WINDOWS_LIBRARIES)
  set(ENV{PKG_CONFIG_LIBDIR}
      "${PICTURE_TOOLS_WINDOWS_LIBRARIES}/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The programs need no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
