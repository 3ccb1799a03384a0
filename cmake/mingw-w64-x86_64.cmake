# Cross-building for 64-bit Windows with mingw-w64 (the posix thread model
# variant of Debian's packages) from a Linux host:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -G Ninja && cmake --build build-win
# The tests are left out unless -DVELLARY_TESTS=ON asks for them (they would
# need GoogleTest built for Windows).
# The executable links statically (app/CMakeLists.txt adds -static on WIN32),
# so it needs no compiler runtime DLLs next to it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELLARY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELLARY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLARY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLARY_MINGW_PREFIX}-windres)

# Headers and libraries come from the target's sysroot only; build tools
# from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELLARY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lets test runners (ctest, test discovery) start the .exe files under wine.
find_program(VELLARY_WINE NAMES wine wine64)
if(VELLARY_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLARY_WINE})
endif()
