#!/usr/bin/env bash
# Sets up, builds and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/sonaro ]; then
  exec build/sonaro --demo "$@"
fi
# Until the program itself is built, show the foundation's figures.
exec build/bench/bench_core
