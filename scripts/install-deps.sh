#!/usr/bin/env bash
# Installs the Debian packages Korvell builds, runs and tests with, but only
# when one is missing, so that `make run` and `make test` stay quick once a
# machine is set up.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libsndfile1-dev libmpg123-dev libsamplerate0-dev libaubio-dev libimgui-dev libturbojpeg0-dev libpng-dev libwebp-dev libheif-dev liblcms2-dev zlib1g-dev libdlib-dev libexiv2-dev libexpat1-dev
  libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev libunistring-dev libgl-dev libgl1-mesa-dri libegl1 libegl-mesa0
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  libgtest-dev libgmock-dev
  fonts-liberation fonts-dejavu-core fonts-wqy-microhei fonts-lohit-deva
  icc-profiles-free colord-data libgs-common liblcms2-utils
  xvfb xauth x11-utils xdotool imagemagick sox libjpeg-turbo-progs libimage-exiftool-perl locales
  desktop-file-utils man-db appstream shared-mime-info libglib2.0-bin
)

# Extra tools for `make fuzz` (libFuzzer) and the valgrind run.
case "${1:-}" in
  fuzz) PACKAGES+=(clang libclang-rt-14-dev) ;;
  valgrind) PACKAGES+=(valgrind) ;;
  bench) PACKAGES+=(feh mpv time libopencv-objdetect-dev opencv-data) ;;
  deb) PACKAGES+=(dpkg-dev file lintian debootstrap) ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
