#!/usr/bin/env bash
# Bounded fuzzing: each libFuzzer target runs for FUZZ_SECONDS (60 by
# default) with a fixed seed, starting from the corpus kept in fuzz/corpus.
# Any crash, sanitizer finding, leak, timeout or out-of-memory fails the
# stage; the number of executions each target ran is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap clang libclang-rt-14-dev

seconds="${FUZZ_SECONDS:-60}"
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz "${generator[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLARY_FUZZ=ON -DVELLARY_TESTS=OFF -DVELLARY_WERROR=ON
cmake --build build-fuzz -j2

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
work="build-fuzz/run"
rm -rf "$work"
summary=()
status=0
for target in params pipeline replace_file; do
  # New inputs go to a scratch corpus; the kept seeds are only read.
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  log="$work/$target/log.txt"
  echo "== fuzz_$target for ${seconds}s"
  set +e
  "build-fuzz/fuzz/fuzz_$target" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
    "$work/$target/corpus" "fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || true)
  if [ $rc -ne 0 ] || [ -z "$runs" ]; then
    echo "fuzz_$target FAILED (exit $rc); the end of its log:"
    tail -n 60 "$log"
    ls "$work/$target/artifacts" || true
    status=1
    summary+=("fuzz_$target: FAILED")
  else
    summary+=("fuzz_$target: $runs executions in ${seconds}s, no finding")
  fi
done
echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
exit $status
