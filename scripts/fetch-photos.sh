#!/usr/bin/env bash
# Photographs of people (and of none) for the tests that look for faces:
# real ones, from a Debian package's data (scikit-image's), fetched once
# into the folder given. Nothing is installed.
set -euo pipefail
mkdir -p "$1"
dir="$(cd "$1" && pwd)"
files=(astronaut.png camera.png chelsea.png coffee.png)
have=1
for f in "${files[@]}"; do [ -s "$dir/$f" ] || have=0; done
[ "$have" = 1 ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
if ! apt-get download -qq python3-skimage >/dev/null 2>&1; then
  apt-get update -qq >/dev/null
  apt-get download -qq python3-skimage >/dev/null 2>&1
fi
members=()
for f in "${files[@]}"; do members+=("./usr/lib/python3/dist-packages/skimage/data/$f"); done
dpkg-deb --fsys-tarfile python3-skimage_*.deb | tar -x "${members[@]}"
for f in "${files[@]}"; do cp "usr/lib/python3/dist-packages/skimage/data/$f" "$dir/$f"; done
