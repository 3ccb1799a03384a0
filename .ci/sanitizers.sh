#!/usr/bin/env bash
# Sanitizer stage: the whole program and every test (unit and end-to-end)
# built with clang's AddressSanitizer and UndefinedBehaviorSanitizer, then the
# full test suite run against that build. Any finding aborts the run that
# made it and so fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap clang libclang-rt-14-dev

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

# detect_leaks: a run that ends through an error exit must not leak either.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

CC=clang CXX=clang++ cmake -S . -B build-asan "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLARY_SANITIZE=ON -DVELLARY_TESTS=ON -DVELLARY_WERROR=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2
