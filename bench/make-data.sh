#!/usr/bin/env bash
# Pictures for the benchmarks, made once into the build folder.
set -euo pipefail
out="$1"
pack="$2"
mkdir -p "$out/small"
if [ ! -f "$out/.done-2" ]; then
  i=1
  for name in photo-1920 photo-1920b photo-1920c photo-1920d; do
    convert -size 960x540 -seed "$i" plasma:fractal -blur 0x1 -resize 1920x1080! -quality 88 "$out/$name.jpg"
    i=$((i + 1))
  done
  i=1
  for name in photo-4000 photo-4000b photo-4000c photo-4000d; do
    convert -size 1000x750 -seed "$((i + 20))" plasma:fractal -blur 0x1 -resize 4000x3000! -quality 88 "$out/$name.jpg"
    i=$((i + 1))
  done
  for k in $(seq 0 9); do
    convert -size 64x48 -seed "$((k + 10))" plasma:fractal -quality 85 "$out/small/base$k.jpg"
  done
  args=()
  for n in $(seq 0 999); do
    cp "$out/small/base$((n % 10)).jpg" "$out/small/s$n.jpg"
    args+=("$out/small/s$n.jpg")
  done
  "$pack" create "$out/small.kva" "${args[@]}" >/dev/null
  touch "$out/.done-2"
fi
# A phone's 12-megapixel photo (its Display P3 profile is added by the bench).
if [ ! -f "$out/photo-4032.jpg" ]; then
  convert -size 1008x756 -seed 31 plasma:fractal -blur 0x1 -resize 4032x3024! -quality 90 "$out/photo-4032.jpg"
fi
# A folder of five 12-megapixel portraits: a real photograph of a person
# (scikit-image's astronaut), enlarged and cut as a phone's 3:4.
if [ ! -f "$out/faces/5.jpg" ]; then
  "$(dirname "$0")/../scripts/fetch-photos.sh" "$out/photos"
  mkdir -p "$out/faces"
  for i in 1 2 3 4 5; do
    convert "$out/photos/astronaut.png" -resize 4032x4032 -gravity center -crop 3024x4032+0+0 +repage \
      -quality 90 "$out/faces/$i.jpg"
  done
fi
# Clips: 10 s of 1080p at 30 fps in H.264, and 5 s of 2160p HEVC 10-bit (as
# a phone records), both moving; made once.
if [ ! -f "$out/.done-clips" ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" -c:v libx264 -preset veryfast -pix_fmt yuv420p \
    "$out/clip-1080p30.mp4"
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=3840x2160:r=30:d=5" -c:v libx265 -preset ultrafast -pix_fmt yuv420p10le \
    -tag:v hvc1 -x265-params log-level=error "$out/clip-2160p-hevc10.mp4"
  touch "$out/.done-clips"
fi
# A phone's HDR clip: 2 s of 1080p HEVC 10-bit HLG in BT.2020, and the same
# stream with its colour tags rewritten to SDR BT.709.
if [ ! -f "$out/.done-hlg" ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=2" -c:v libx265 -preset ultrafast -pix_fmt yuv420p10le \
    -x265-params log-level=error -color_primaries bt2020 -color_trc arib-std-b67 -colorspace bt2020nc \
    -tag:v hvc1 "$out/clip-1080p-hlg.mp4"
  ffmpeg -v error -y -i "$out/clip-1080p-hlg.mp4" -c copy \
    -bsf:v hevc_metadata=colour_primaries=1:transfer_characteristics=1:matrix_coefficients=1 \
    "$out/clip-1080p-hlg-as-sdr.mp4"
  touch "$out/.done-hlg"
fi
# A phone's short clip for the camera roll: 3 s of 720p with sound, its
# moov box after the media as a phone writes it.
if [ ! -f "$out/.done-roll" ]; then
  ffmpeg -v error -y -f lavfi -i "testsrc2=s=1280x720:r=30:d=3" -f lavfi -i "sine=frequency=440:duration=3" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest -metadata creation_time=2024-05-06T07:08:09Z \
    "$out/roll-clip.mp4"
  touch "$out/.done-roll"
fi
