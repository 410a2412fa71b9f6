#!/usr/bin/env bash
# Builds the program and the harness, then measures the program headless
# against a simulated Douyu room: chat-to-speech latency, the gap between
# consecutive announcements, sustained chat rate,
# idle CPU and resident size (about 20 minutes). Not part of the test run.
# Extra arguments go to the harness: --quick for a short trial, --phases to
# pick measurements, --help for the rest. Exits non-zero when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target sonaro sonaro_harness
exec build/bench/harness/sonaro_harness "$@"
