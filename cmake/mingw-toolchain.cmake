# What the MinGW-w64 cross builds share; mingw-i686.cmake (the shipped
# 32-bit programs) and mingw-x86_64.cmake (the Wine suite on machines that
# cannot execute 32-bit programs) set `triple` and the processor, then
# include this.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: their C++ library has std::thread (on winpthread),
# which the plain win32-thread-model ones lack.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# One self-contained .exe: libgcc, libstdc++ and winpthread are linked in,
# so it imports nothing beyond the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
