#!/usr/bin/env bash
# Takes docs/dialog.png: the dialog during the demo, under a virtual X server
# with a CJK font (xvfb, fonts-noto-cjk, imagemagick from scripts/setup.sh).
# Usage: scripts/screenshot.sh [build dir [options for the program]]
# e.g. scripts/screenshot.sh build --platform 4 --also 5:1 (two rooms at once)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift $(($# > 0 ? 1 : 0))
extra=$(printf " '%s'" "$@")
[ $# -gt 0 ] || extra=
work=$(mktemp -d /tmp/sonaro-shot-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp "$build/sonaro" "$work/"
# A muted viewer, so the panel's list of them shows one.
printf '刷屏机器人\r\n' >"$work/屏蔽用户.txt"
unset QT_QPA_PLATFORM
# The window's position and the log file stay in the scratch folder.
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
# The demo reads for a while first, so the panel has lines in every list.
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1100x700x24" sh -c \
  "'$work/sonaro' --demo --demo-seconds 25$extra >/dev/null 2>&1 & sleep 14; import -window root '$work/root.png'; wait"
convert "$work/root.png" -trim +repage "$root/docs/dialog.png"
echo "screenshot: $root/docs/dialog.png"
