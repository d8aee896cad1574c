#!/usr/bin/env bash
# Installs what is missing, builds Vemtaro twice and runs every test:
#  1. g++ with -Wall -Wextra -Werror: unit tests, CLI tests, benchmarks built;
#     the Debian package built, unpacked and its programs run;
#  2. clang with AddressSanitizer and UndefinedBehaviorSanitizer: the same tests
#     again, then every libFuzzer target for FUZZ_SECONDS (default 60) each.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-60}

echo "== g++ build and tests"
cmake -S . -B build/gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build/gcc -j "$jobs"
ctest --test-dir build/gcc --output-on-failure -j "$jobs"

echo "== Debian package"
./scripts/package_check.sh build/gcc

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DVEMTARO_SANITIZE=ON -DVEMTARO_FUZZ=ON -DVEMTARO_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== fuzzing, ${fuzz_seconds} s a target"
for target in build/asan/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  echo "-- $name"
  log="$work.log"
  if "$target" -max_total_time="$fuzz_seconds" -print_final_stats=1 "$work" "$corpus" >"$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log" || true
    rm -rf "$work" "$log"
  else
    tail -n 60 "$log" >&2
    echo "$name found a failure" >&2
    exit 1
  fi
done
echo "All tests passed."
