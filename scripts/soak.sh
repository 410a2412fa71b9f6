#!/usr/bin/env bash
# Runs the program for 30 minutes at 200 chat lines per second against a
# simulated Douyu room that drops the chat connection every 60 seconds, and
# checks that it rejoins every time, stays up, leaks no file descriptors and
# leaves nothing in "waves" but files waiting to play. Not part of CI.
# Extra arguments go to the harness (e.g. --soak-seconds 600 --drop-seconds 30).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target sonaro sonaro_harness
exec build/bench/harness/sonaro_harness --phases soak "$@"
