# Cross build for 32-bit Windows with Debian's MinGW-w64 i686 compilers
# (packages g++-mingw-w64-i686 and binutils-mingw-w64-i686): the programs
# that ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
