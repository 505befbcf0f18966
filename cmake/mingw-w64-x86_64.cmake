# Cross-builds the Windows programs (kestrane.exe, bench.exe) on Linux with
# mingw-w64 and its posix thread model (Debian: g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRANE_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${KESTRANE_MINGW_PREFIX}-g++-posix ${KESTRANE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${KESTRANE_MINGW_PREFIX}-gcc-posix ${KESTRANE_MINGW_PREFIX}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${KESTRANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that needs no DLLs beyond Windows' own: the C++ runtime, libgcc
# and the thread library linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
