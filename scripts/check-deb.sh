#!/usr/bin/env bash
# The package on a bare Debian 12: a minimal root made with debootstrap, the
# package installed there with apt-get (its dependencies pulled from the
# archive), then, inside it and without a display, korvell --version,
# --check of the installed demo and --render of it; the video is read back
# with the host's ffprobe. That the render works there is the proof that
# the package names every library it needs. Run as root (make deb-check).
set -euo pipefail
build="$(cd "$1" && pwd)"
deb=$(ls "$build"/korvell_*_amd64.deb | head -1)
mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}
root=$(mktemp -d /tmp/korvell-root.XXXXXX)
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
echo "debootstrap: a minimal bookworm from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 || { tail -20 "$root.log"; exit 1; }
rm -f "$root.log"
cp "$deb" "$root/tmp/"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
in_root sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/korvell_*.deb' >/dev/null
echo "installed: $(in_root korvell --version)"
checked=$(in_root sh -c 'cd /tmp && korvell --check /usr/share/korvell/demo/english.xml' | grep -v ': note: ' || true)
[ -z "$checked" ] || { echo "the installed demo does not check clean: $checked"; exit 1; }
in_root sh -c 'cd /tmp && korvell --render /tmp/demo.mkv --size 320x180 --fps 5 --quiet /usr/share/korvell/demo/english.xml' \
  || { echo "the installed korvell cannot render on a bare Debian"; exit 1; }
probe=$(ffprobe -v error -show_entries stream=codec_name -show_entries format=duration -of csv=p=0 "$root/tmp/demo.mkv" | tr '\n' ' ')
echo "rendered: $probe"
case "$probe" in *h264*aac*) ;; *) echo "not an H.264 video with sound: $probe"; exit 1 ;; esac
echo "PASS"
