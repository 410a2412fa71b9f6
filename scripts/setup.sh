#!/usr/bin/env bash
# Installs the Debian packages Sonaro needs to build, test and run. Idempotent:
# apt-get runs only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev clang-format
  libboost-dev libboost-system-dev libboost-thread-dev libboost-date-time-dev
  libcurl4-openssl-dev libssl-dev zlib1g-dev libbrotli-dev libprotobuf-dev protobuf-compiler ca-certificates libsimdjson-dev
  libespeak-ng-dev espeak-ng-data espeak-ng
  libsdl2-dev
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk xvfb xauth sox
  dbus-daemon libglib2.0-bin qt6-translations-l10n desktop-file-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root (or install the packages above yourself)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
