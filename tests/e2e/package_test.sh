#!/bin/sh
# Makes the Debian package from the build and checks what it holds.
# Usage: package_test.sh <build dir>
set -eu
build=$1
out=$(mktemp -d /tmp/sonaro-deb-XXXXXX)
trap 'rm -rf "$out"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/sonaro_*.deb) || fail "no package made"
dpkg-deb -c "$deb" | awk '{print $6}' | sort > "$out/files"
for f in ./usr/bin/sonaro ./usr/lib/sonaro/sonaro ./usr/lib/sonaro/配置.txt ./usr/lib/sonaro/过滤列表.txt \
         ./usr/lib/sonaro/屏蔽用户.txt ./usr/share/applications/sonaro.desktop \
         ./usr/share/icons/hicolor/128x128/apps/sonaro.png ./usr/share/doc/sonaro/copyright \
         ./usr/share/doc/sonaro/changelog.gz; do
  grep -qx "$f" "$out/files" || fail "lacks $f"
done
# Nothing of the build tree or a portable folder's leftovers.
if grep -v -e '^\./usr/bin/' -e '^\./usr/lib/sonaro/' -e '^\./usr/share/' -e '^\./usr/$' -e '^\./usr/lib/$' "$out/files"; then
  fail "files outside /usr/bin, /usr/lib/sonaro and /usr/share"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libsdl2 libespeak-ng1 libcurl4 qt6-qpa-plugins qt6-translations-l10n; do
  echo "$depends" | grep -q "$d" || fail "does not depend on $d"
done

dpkg-deb -x "$deb" "$out/root"
"$out/root/usr/bin/sonaro" --version | grep -q '^sonaro [0-9]' || fail "the program does not start through /usr/bin"
entry="$out/root/usr/share/applications/sonaro.desktop"
grep -q '^Exec=sonaro$' "$entry" || fail "the desktop entry does not start sonaro from the PATH"
if command -v desktop-file-validate >/dev/null; then
  msg=$(desktop-file-validate "$entry" 2>&1) || fail "$msg"
  [ -z "$msg" ] || fail "$msg"
fi
echo "package: ok"
