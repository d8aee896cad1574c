#!/usr/bin/env bash
# Installs what is missing, builds Vemtaro and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEMTARO_TESTS=OFF -DVEMTARO_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target vemtaro vemtaro-cli
exec build/release/src/app/vemtaro "$@"
