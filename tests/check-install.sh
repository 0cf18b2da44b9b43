#!/usr/bin/env bash
# An install into a scratch DESTDIR: every file in its place, the desktop
# entry valid, the man pages render without a warning, the installed
# korvell checks the installed demo clean and renders with its installed
# encoder module.
set -euo pipefail
build="$1"
dest="$(mktemp -d /tmp/korvell-install.XXXXXX)"
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
root="$dest/usr"
for f in bin/korvell bin/korvell-pack lib/korvell/korvell-encoder.so lib/korvell/korvell-beats.so share/man/man1/korvell.1 share/man/man1/korvell-pack.1 \
         share/applications/korvell.desktop share/icons/hicolor/scalable/apps/korvell.svg \
         share/korvell/demo/english.xml share/korvell/demo/polish.xml share/korvell/demo/music.ogg \
         share/korvell/demo/demo.kva share/korvell/demo/pictures/01-dawn.jpg share/korvell/demo/credits/back.jpg \
         share/korvell/demo/archive/english.xml; do
  [ -e "$root/$f" ] || { echo "missing: $f"; exit 1; }
done
desktop-file-validate "$root/share/applications/korvell.desktop"
for page in korvell korvell-pack; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page.1: $warnings"; exit 1; }
  MANWIDTH=80 man -l "$root/share/man/man1/$page.1" 2>/dev/null | grep -q "SYNOPSIS" || { echo "$page.1 renders empty"; exit 1; }
done
out=$("$root/bin/korvell" --check "$root/share/korvell/demo/english.xml" "$root/share/korvell/demo/archive/polish.xml" \
  | grep -v ': note: ' || true)
[ -z "$out" ] || { echo "the installed demo does not check clean:"; echo "$out"; exit 1; }
# The installed program finds the installed module (not the build tree's).
(cd "$dest" && env -u DISPLAY "$root/bin/korvell" --render "$dest/two.mkv" --size 32x32 --fps 2 --no-credits --quiet \
  "$root/share/korvell/demo/english.xml") || { echo "the installed korvell cannot render"; exit 1; }
[ -s "$dest/two.mkv" ] || { echo "no video from the installed korvell"; exit 1; }
echo "PASS"
