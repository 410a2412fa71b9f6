#!/bin/sh
# Installs the build into a fresh folder and checks what a desktop sees of it.
# Usage: install_test.sh <build dir>
set -eu
build=$1
prefix=$(mktemp -d /tmp/sonaro-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/sonaro" ] || fail "no program"
if readelf -S "$prefix/sonaro" | grep -q '\.debug_info'; then fail "the program is not stripped"; fi
"$prefix/sonaro" --version | grep -q '^sonaro [0-9]' || fail "--version"
[ -s "$prefix/share/icons/hicolor/128x128/apps/sonaro.png" ] || fail "no themed icon"
for f in 配置.txt 过滤列表.txt 屏蔽用户.txt; do [ -f "$prefix/$f" ] || fail "no $f"; done
for entry in "$prefix/sonaro.desktop" "$prefix/share/applications/sonaro.desktop"; do
  for key in 'Name\[zh_CN\]=' 'Comment\[zh_CN\]=' 'Keywords='; do
    grep -q "^$key" "$entry" || fail "$entry lacks $key"
  done
  if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$entry" 2>&1) || fail "$out"
    [ -z "$out" ] || fail "$out"
  fi
done
grep -q '^Icon=sonaro$' "$prefix/share/applications/sonaro.desktop" || fail "the themed entry names another icon"

# A second install keeps the host's files.
echo "音量=1" > "$prefix/配置.txt"
cmake --install "$build" --prefix "$prefix" >/dev/null
[ "$(cat "$prefix/配置.txt")" = "音量=1" ] || fail "the settings were replaced"
echo "install: ok"
