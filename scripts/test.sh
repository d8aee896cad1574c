#!/usr/bin/env bash
# Installs what is missing, checks the formatting of every C++ file against
# .clang-format, builds Vemtaro twice and runs every test:
#  1. g++ (Release, -O3): the README's "Building by hand" run as written (in
#     build/gcc), where any compiler warning fails the test command; unit tests,
#     CLI tests, benchmarks built; the Debian package built, unpacked and its
#     programs run;
#  2. clang with AddressSanitizer and UndefinedBehaviorSanitizer, warnings made
#     errors (VEMTARO_WERROR): the same tests again, then every libFuzzer target
#     (optimised, with both sanitizers) for FUZZ_SECONDS (default 60) each.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== formatting"
./scripts/format.sh --check
fuzz_seconds=${FUZZ_SECONDS:-60}

echo "== g++ build and tests: the README's \"Building by hand\""
# The section's commands as a user types them, with the build folder build/gcc;
# ctest takes its parallel level and failure output from the environment.
by_hand=$(sed -n '/^## Building by hand/,/^## [^B]/p' README.md | sed -n '/^```sh$/,/^```$/p' | grep -v '^```' |
  sed -e 's#-B build #-B build/gcc #' -e 's#--build build #--build build/gcc #' -e 's#--test-dir build$#--test-dir build/gcc#')
if ! grep -q -- '--test-dir build/gcc' <<<"$by_hand"; then
  echo "the README's \"Building by hand\" has no build and test commands" >&2
  exit 1
fi
log=$(mktemp)
if ! CXX=g++ CTEST_PARALLEL_LEVEL="$jobs" CTEST_OUTPUT_ON_FAILURE=1 bash -euo pipefail -c "$by_hand" 2>&1 |
  tee "$log" | { grep -v '^\[ *[0-9]*%\] \(Building\|Linking\|Built\|Automatic\)' || true; }; then
  rm -f "$log"
  exit 1
fi
if grep -q 'warning:' "$log"; then
  grep -B2 -A6 'warning:' "$log" >&2
  rm -f "$log"
  echo "the build by hand shows compiler warnings" >&2
  exit 1
fi
rm -f "$log"

echo "== Debian package"
./scripts/package_check.sh build/gcc

echo "== clang build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DVEMTARO_SANITIZE=ON -DVEMTARO_WERROR=ON -DVEMTARO_FUZZ=ON -DVEMTARO_BENCH=OFF >/dev/null
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
    grep -E '^#[0-9]+ *(INITED|DONE) ' "$log" | sed -E 's/ *(lim|rss|exec\/s):.*//' || true
    rm -rf "$work" "$log"
  else
    tail -n 60 "$log" >&2
    echo "$name found a failure" >&2
    exit 1
  fi
done
echo "All tests passed."
