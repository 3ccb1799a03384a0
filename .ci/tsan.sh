#!/usr/bin/env bash
# ThreadSanitizer stage: the program and the tests built with clang's
# -fsanitize=thread, then the parallel feed's differential and the whole
# end-to-end suite (which runs that program on large files too) against that
# build. The first data race or lock misuse ends the run that met it with an
# error, and so fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap clang libclang-rt-14-dev

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1"

CC=clang CXX=clang++ cmake -S . -B build-tsan "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLARY_TESTS=ON -DVELLARY_WERROR=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread"
cmake --build build-tsan -j2 --target vellary app_tests e2e_tests

build-tsan/tests/app_tests --gtest_filter='InputFeed.*'
VELLARY_BIN="$PWD/build-tsan/app/vellary" build-tsan/tests/e2e_tests
