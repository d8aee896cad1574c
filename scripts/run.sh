#!/usr/bin/env bash
# Installs what is missing, builds Vemtaro and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVEMTARO_TESTS=OFF -DVEMTARO_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)"
# Until the desktop program lands: a settings file of a freshly started
# configurator, shown by the command-line program.
out=build/release/default.dat
build/release/src/cli/vemtaro-cli new --firmware 15 -o "$out"
exec build/release/src/cli/vemtaro-cli show "$out"
