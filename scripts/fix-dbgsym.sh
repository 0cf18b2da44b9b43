#!/usr/bin/env bash
# CPack's -dbgsym package lists its files in md5sums by their absolute path
# in the build tree and has no copyright: rebuilt here with its md5sums
# relative, the .debug files not executable, and its doc folder a link to
# the package it belongs to (as Debian's own dbgsym packages do).
set -euo pipefail
ddeb="$1"
[ -f "$ddeb" ] || exit 0
tree=$(mktemp -d /tmp/korvell-dbgsym.XXXXXX)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -R "$ddeb" "$tree"
find "$tree/usr/lib/debug" -type f -name '*.debug' -exec chmod 644 {} +
mkdir -p "$tree/usr/share/doc"
ln -s korvell "$tree/usr/share/doc/korvell-dbgsym"
(cd "$tree" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$tree/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz -b "$tree" "$ddeb" >/dev/null
