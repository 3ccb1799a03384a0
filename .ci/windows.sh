#!/usr/bin/env bash
# Windows stage: cross-builds vellary.exe with mingw-w64 and runs the
# end-to-end suite against it under wine. The suite itself is the native test
# program of the main build; it starts the .exe through wine.
#
# Runs alone too: bash .ci/windows.sh (builds the native e2e tests into
# build when the main stage has not).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

bash scripts/bootstrap ninja-build g++-mingw-w64-x86-64-posix wine64

echo "== build vellary.exe (mingw-w64, warnings as errors)"
# A cross build leaves the tests out by default: they run natively below.
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DVELLARY_WERROR=ON >/dev/null
cmake --build build-win -j2
exe=$root/build-win/app/vellary.exe

# The executable must run from a bare folder: no compiler runtime DLLs.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports: $(echo $dlls)"
if echo "$dlls" | grep -Eiq 'libstdc\+\+|libgcc|libwinpthread'; then
  echo "vellary.exe needs a compiler runtime DLL" >&2
  exit 1
fi

# The test helper that holds a file open as a log writer does.
helper=$root/build-win/hold_open.exe
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -static -municode -Wall -Wextra -Werror \
  tests/e2e/win_helpers/hold_open.cpp -o "$helper"

# Long paths: the manifest that says so is embedded, and keeps the system's
# ANSI code page.
if ! grep -q longPathAware "$exe" || grep -q activeCodePage "$exe"; then
  echo "vellary.exe lacks its manifest (longPathAware, no activeCodePage)" >&2
  exit 1
fi

echo "== build the end-to-end tests (native)"
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DVELLARY_TESTS=ON -DVELLARY_WERROR=ON >/dev/null
fi
cmake --build build -j2 --target e2e_tests

# A prefix of our own, so that nothing of the machine's own wine setup (or of
# another wine user on it) changes the results. The wine server is kept
# running for the whole suite: a server that each run started anew would
# inherit that run's output pipes and hold them open for its idle timeout.
export WINEPREFIX=$root/build-win/wine-prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
echo "== wine prefix $WINEPREFIX"
stop_wine  # a server left over from an interrupted run of this stage
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
# A first run of the program, so first-run work never lands in a test.
wine "$exe" --version-only </dev/null >/dev/null 2>&1 || true

echo "== end-to-end suite under wine"
VELLARY_BIN=$exe VELLARY_RUNNER=wine VELLARY_HOLD_OPEN=$helper CI=true \
  build/tests/e2e_tests --gtest_brief=1 </dev/null
echo "== windows stage took $((SECONDS - started)) s"
