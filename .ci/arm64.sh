#!/usr/bin/env bash
# arm64 stage: cross-builds the program and the unit tests for 64-bit ARM
# Linux, runs the unit tests under qemu-aarch64 (ctest starts them through the
# emulator the toolchain file names), then the end-to-end suite of the native
# build against the arm64 program through the same emulator.
#
# Runs alone too: bash .ci/arm64.sh (builds the native e2e tests into build
# when the main stage has not).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

bash scripts/bootstrap g++-aarch64-linux-gnu qemu-user googletest

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

echo "== cross build for aarch64 (program and unit tests, warnings as errors)"
cmake -S . -B build-arm64 "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake \
  -DVELLARY_TESTS=ON -DVELLARY_WERROR=ON >/dev/null
cmake --build build-arm64 -j2
bin=$root/build-arm64/app/vellary
machine=$(LC_ALL=C readelf -h "$bin" | sed -n 's/^ *Machine: *//p')
echo "built $bin for $machine"
[ "$machine" = AArch64 ] || { echo "the cross build is not an arm64 program" >&2; exit 1; }
built=$SECONDS

# The emulator finds the target's loader and C++ runtime here; the tests'
# time limits stretch for it (tests/common/time_limit.h).
export QEMU_LD_PREFIX=/usr/aarch64-linux-gnu VELLARY_TIME_FACTOR=20
echo "== unit tests under qemu-aarch64"
ctest --test-dir build-arm64 --output-on-failure -j2
unit=$SECONDS

echo "== build the end-to-end tests (native)"
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DVELLARY_TESTS=ON -DVELLARY_WERROR=ON >/dev/null
fi
cmake --build build -j2 --target e2e_tests

echo "== end-to-end suite against the arm64 program under qemu-aarch64"
VELLARY_BIN=$bin VELLARY_RUNNER=qemu-aarch64 VELLARY_RUNNER_KIND=emulator \
  build/tests/e2e_tests --gtest_brief=1 </dev/null
echo "== arm64 stage took $((SECONDS - started)) s" \
  "(cross build $((built - started)) s, unit tests $((unit - built)) s, end-to-end $((SECONDS - unit)) s)"
