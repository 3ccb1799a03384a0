# Cross-building for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
#         -DVELLARY_TESTS=ON && cmake --build build-arm64
# With the tests, GoogleTest is built from the source Debian's googletest
# package puts in /usr/src/googletest, and ctest runs them under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VELLARY_CROSS_PREFIX aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VELLARY_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${VELLARY_CROSS_PREFIX}-g++)

# Headers and libraries come from the target's sysroot only; build tools
# from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELLARY_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lets test runners (ctest, test discovery) start the binaries under the
# user-mode emulator, which finds the target's loader and libraries below -L.
find_program(VELLARY_QEMU NAMES qemu-aarch64 qemu-aarch64-static)
if(VELLARY_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLARY_QEMU} -L /usr/${VELLARY_CROSS_PREFIX})
endif()
