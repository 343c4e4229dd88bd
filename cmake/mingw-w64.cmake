# Cross-build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, so that std::thread and std::mutex exist).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(AKTARIM_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${AKTARIM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${AKTARIM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${AKTARIM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${AKTARIM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of a cross build run under Wine (WINEPREFIX chooses the prefix).
find_program(AKTARIM_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(AKTARIM_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(AKTARIM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${AKTARIM_WINE})
endif()

# One .exe with nothing beside it: the C++ run-time and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
