#!/usr/bin/env bash
# Takes the screenshots of docs/screenshots/ on a virtual X display.
#
# BUILD_DIR names a build folder to use instead of build/release; one that is
# configured already is built as it is (its options are left alone). JOBS caps
# the parallel compile jobs (default: one per processor).
#   BUILD_DIR=build/gcc JOBS=2 docs/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
build="${BUILD_DIR:-build/release}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEMTARO_TESTS=OFF -DVEMTARO_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-$(nproc 2>/dev/null || echo 2)}" --target vemtaro_screenshots
xvfb-run -a -s "-screen 0 1024x768x24" "$build/src/app/vemtaro_screenshots" docs/screenshots
ls -1 docs/screenshots
