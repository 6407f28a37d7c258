# Cross-compiles the Windows build on Linux with mingw-w64 (Debian packages
# g++-mingw-w64-x86-64-posix and mingw-w64-x86-64-dev). The posix-threads
# variant of the compiler is the one whose C++ runtime has std::thread and
# friends; linking everything statically leaves the exe needing no DLL
# beyond Windows' own, so it runs as one file on Windows and under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORLIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORLIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORLIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORLIX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORLIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
