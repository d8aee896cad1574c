#!/usr/bin/env bash
# Takes the screenshots of docs/screenshots/ on a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEMTARO_TESTS=OFF -DVEMTARO_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target vemtaro_screenshots
xvfb-run -a -s "-screen 0 1024x768x24" build/release/src/app/vemtaro_screenshots docs/screenshots
ls -1 docs/screenshots
