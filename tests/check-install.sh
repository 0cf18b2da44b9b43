#!/usr/bin/env bash
# An install into a scratch DESTDIR: every file in its place, the desktop
# entry and the AppStream metadata valid, the MIME type of a show in the
# database, the man pages render without a warning, the installed korvell
# checks the installed demo clean and renders with its installed encoder
# module.
set -euo pipefail
build="$1"
dest="$(mktemp -d /tmp/korvell-install.XXXXXX)"
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
root="$dest/usr"
modules=$(cd "$root" && { ls -d lib/*/korvell lib/korvell 2>/dev/null || true; } | head -1)
for f in bin/korvell bin/korvell-pack "$modules/korvell-encoder.so" "$modules/korvell-beats.so" share/man/man1/korvell.1.gz share/man/man1/korvell-pack.1.gz \
         share/mime/packages/korvell.xml share/metainfo/korvell.metainfo.xml share/doc/korvell/copyright \
         share/doc/korvell/changelog.Debian.gz share/bash-completion/completions/korvell \
         share/applications/korvell.desktop share/icons/hicolor/scalable/apps/korvell.svg \
         share/korvell/demo/english.xml share/korvell/demo/polish.xml share/korvell/demo/music.ogg \
         share/korvell/demo/demo.kva share/korvell/demo/pictures/01-dawn.jpg share/korvell/demo/credits/back.jpg \
         share/korvell/demo/archive/english.xml; do
  [ -e "$root/$f" ] || { echo "missing: $f"; exit 1; }
done
desktop-file-validate "$root/share/applications/korvell.desktop"
grep -q "application/xml\|text/xml" "$root/share/applications/korvell.desktop" && { echo "the desktop entry claims XML"; exit 1; }
appstreamcli validate --no-net "$root/share/metainfo/korvell.metainfo.xml" >/dev/null \
  || { appstreamcli validate --no-net "$root/share/metainfo/korvell.metainfo.xml"; exit 1; }
# The MIME definition as the package's trigger reads it: accepted without a
# word, a show told by its root element and its opening bytes.
mkdir -p "$dest/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$root/share/mime/packages/korvell.xml" "$dest/mime/packages/"
said=$(update-mime-database "$dest/mime" 2>&1 | grep -v "not in the search path\|XDG_DATA\|environment variables\|be able to find\|directories currently\|^- \|^$" || true)
[ -z "$said" ] || { echo "update-mime-database: $said"; exit 1; }
grep -q "application/x-korvell-show" "$dest/mime/types" || { echo "no korvell type in the database"; exit 1; }
grep -q "korvell" "$dest/mime/XMLnamespaces" || { echo "the root element is not in the database"; exit 1; }
bash -n "$root/share/bash-completion/completions/korvell"
for page in korvell korvell-pack; do
  warnings=$(MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page.1: $warnings"; exit 1; }
  MANWIDTH=80 man -l "$root/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "SYNOPSIS" || { echo "$page.1 renders empty"; exit 1; }
done
out=$("$root/bin/korvell" --check "$root/share/korvell/demo/english.xml" "$root/share/korvell/demo/archive/polish.xml" \
  | grep -v ': note: ' || true)
[ -z "$out" ] || { echo "the installed demo does not check clean:"; echo "$out"; exit 1; }
# The installed program finds the installed module (not the build tree's).
(cd "$dest" && env -u DISPLAY "$root/bin/korvell" --render "$dest/two.mkv" --size 32x32 --fps 2 --no-credits --quiet \
  "$root/share/korvell/demo/english.xml") || { echo "the installed korvell cannot render"; exit 1; }
[ -s "$dest/two.mkv" ] || { echo "no video from the installed korvell"; exit 1; }
# The installed demo from a folder its user cannot write: the log goes to
# the state folder, and stderr says where.
if id nobody >/dev/null 2>&1 && command -v runuser >/dev/null; then
  chmod 755 "$dest"
  rm -f "$root/share/korvell/demo/xmlparse.log" # the runs above were root's
  mkdir -m 777 "$dest/out" "$dest/state"
  said=$(cd "$root/share/korvell/demo" && env -u DISPLAY XDG_STATE_HOME="$dest/state" runuser -u nobody -- \
    "$root/bin/korvell" --render "$dest/out/log.mkv" --size 32x32 --fps 2 --no-credits --quiet english.xml 2>&1) \
    || { echo "the installed demo does not render for another user: $said"; exit 1; }
  [ "$said" = "korvell: the show's folder cannot be written: its log is $dest/state/korvell/xmlparse.log" ] \
    || { echo "said: $said"; exit 1; }
  grep -q "LogFile" "$dest/state/korvell/xmlparse.log" || { echo "no log in the state folder"; exit 1; }
  [ ! -e "$root/share/korvell/demo/xmlparse.log" ] || { echo "a log in the installed demo"; exit 1; }
fi
# Without /proc, as in a chroot, the program cannot read its own path: the
# modules are found in the prefix it was built for. The install is put at
# that prefix in a mount namespace of its own (root only; ASan itself
# needs /proc).
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
if grep -q '^KORVELL_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "-- without /proc: not under AddressSanitizer"
elif [ -d "$prefix" ] && unshare --mount true 2>/dev/null; then
  said=$(cd "$dest" && env -u DISPLAY unshare --mount sh -c \
    'mount --bind "$1" "$2" && mount -t tmpfs none /proc && exec "$2/bin/korvell" --render "$3/noproc.mkv" \
       --size 32x32 --fps 2 --no-credits --quiet "$2/share/korvell/demo/english.xml"' \
    sh "$root" "$prefix" "$dest" 2>&1) || { echo "without /proc the installed korvell cannot render: $said"; exit 1; }
  [ -s "$dest/noproc.mkv" ] || { echo "no video without /proc"; exit 1; }
else
  echo "-- without /proc: not tried (needs root and the prefix $prefix)"
fi
echo "PASS"
