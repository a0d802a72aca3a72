# Cross build for 64-bit Windows with Debian's MinGW-w64 x86-64 compilers
# (package g++-mingw-w64-x86-64). Nothing ships from it: the Wine suite runs
# on it where the machine cannot execute 32-bit programs, and so cannot run
# the 32-bit ones under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
