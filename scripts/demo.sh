#!/usr/bin/env bash
# Sets up, builds and runs the demo: a simulated room read aloud for about a
# minute. Windowed when a display is there, headless otherwise; the log of
# status changes and spoken texts is printed either way. Extra arguments go to
# the program (e.g. --platform 2).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target sonaro >&2

mode=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  mode=(--headless)
fi
# No sound card and no sound server: play in real time into nothing, so the
# demo still runs (set SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw to record).
if [ -z "${SDL_AUDIODRIVER:-}" ] && [ ! -d /dev/snd ] && [ -z "${PULSE_SERVER:-}" ] \
   && [ ! -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]; then
  echo "demo: no audio device found, playing into SDL's dummy driver" >&2
  export SDL_AUDIODRIVER=dummy
fi
exec build/sonaro --demo --demo-seconds 60 "${mode[@]}" "$@"
