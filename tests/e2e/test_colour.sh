#!/usr/bin/env bash
# Photos in their own colours: patches stored in Adobe RGB (a JPEG) and
# ProPhoto (a PNG) are shown live and rendered within CIEDE2000 2 (the
# render: 3, its codec's rounding) of LittleCMS's transicc converting the
# same numbers; an untagged picture's numbers reach the screen unchanged;
# --check warns of a damaged profile and not of the others.
source "$(dirname "$0")/lib.sh"
DELTA="$BUILD/kv-delta-e"
ICC=/usr/share/color/icc/colord
show="$WORK/show"
mkdir -p "$show"
patches=("61 170 91" "230 30 30" "20 40 220" "200 150 120")
tiles=()
for p in "${patches[@]}"; do tiles+=(xc:"rgb(${p// /,})"); done
convert -size 160x360 "${tiles[@]}" +append -profile "$ICC/AdobeRGB1998.icc" -quality 100 -sampling-factor 1x1 \
  "$show/adobe.jpg"
convert -size 160x360 "${tiles[@]}" +append -profile "$ICC/ProPhotoRGB.icc" "$show/prophoto.png"
convert -size 160x360 "${tiles[@]}" +append "$show/untagged.png"
# A profile cut short: the APP2 chunk says 2 of 2, and the second is missing.
convert -size 160x360 "${tiles[@]}" +append -profile "$ICC/AdobeRGB1998.icc" -quality 100 "$WORK/whole.jpg"
python3 - "$WORK/whole.jpg" "$show/damaged.jpg" <<'PY'
import sys
d = bytearray(open(sys.argv[1], 'rb').read())
i = d.find(b'ICC_PROFILE\0')
d[i + 13] = 2  # one chunk of two
open(sys.argv[2], 'wb').write(d)
PY
slides() {
  for f in "$@"; do
    echo "  <image time=\"2\"><file>$f</file><fit>contain</fit><transition time=\"0\">none</transition></image>"
  done
}
write_show() {
  {
    echo '<korvell><viewport x="10" y="10"/><imagearea><position x="0" y="0"/><size width="10" height="10"/></imagearea>'
    slides "$@"
    echo '  <image time="1"/></korvell>'
  } >"$show/show.xml"
}

# What transicc makes of a patch, bounded to sRGB.
expected() {
  echo "$2" | transicc -i "$1" -o '*sRGB' -t1 -b -s -n 2>/dev/null | tail -1 | awk '{printf "%d %d %d", $1 + 0.5, $2 + 0.5, $3 + 0.5}'
}
check_patches() { # label picture-profile tolerance reader...
  local label="$1" profile="$2" tol="$3" i want got d
  shift 3
  for i in 0 1 2 3; do
    want=$( [ -n "$profile" ] && expected "$profile" "${patches[$i]}" || echo "${patches[$i]}")
    got=$("$@" $((i * 160 + 80)) 180)
    d=$("$DELTA" "$got" "$want")
    note "$label patch $i: ${patches[$i]} shows as $got, LittleCMS says $want: dE2000 $d"
    awk -v d="$d" -v t="$tol" 'BEGIN{exit !(d <= t)}' || fail "$label patch $i is $d from LittleCMS's colour"
  done
}

# --check: the damaged profile, and nothing of the sound ones.
write_show adobe.jpg prophoto.png untagged.png damaged.jpg
(cd "$show" && "$KORVELL" --check show.xml) >"$WORK/check.txt" 2>&1 || true
grep -q 'warning: picture "damaged.jpg": its colour profile cannot be read' "$WORK/check.txt" \
  || fail "--check says nothing of the damaged profile: $(cat "$WORK/check.txt")"
grep -E 'adobe.jpg|prophoto.png|untagged.png' "$WORK/check.txt" && fail "--check speaks of a sound picture"

# Rendered: one frame a slide, mid-slide; the damaged profile said once.
write_show adobe.jpg prophoto.png untagged.png damaged.jpg damaged.jpg
unset DISPLAY
"$KORVELL" --render "$WORK/show.mkv" --size 640x360 --fps 10 --no-credits --quiet "$show/show.xml" \
  >"$WORK/stdout.txt" 2>&1 || fail "render: $(cat "$WORK/stdout.txt")"
said=$(grep -c 'Picture "damaged.jpg": its colour profile cannot be read (its APP2 chunks are missing or repeated), so its colours show as stored.' "$WORK/stdout.txt" || true)
[ "$said" = 1 ] || fail "the damaged profile was said $said times"
tags=$(ffprobe -v error -show_entries stream=color_primaries,color_transfer,color_space -of csv=p=0 "$WORK/show.mkv")
[ "$tags" = "bt709,bt709,bt709" ] || fail "the render says it holds $tags, not BT.709"
for n in 10 30 50; do
  ffmpeg -v error -i "$WORK/show.mkv" -vf "select=eq(n\,$n),format=rgb24" -frames:v 1 "$WORK/frame-$n.png"
done
frame_pixel() { convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'; }
check_patches "rendered Adobe RGB" "$ICC/AdobeRGB1998.icc" 3 frame_pixel "$WORK/frame-10.png"
check_patches "rendered ProPhoto" "$ICC/ProPhotoRGB.icc" 3 frame_pixel "$WORK/frame-30.png"
check_patches "rendered untagged" "" 3 frame_pixel "$WORK/frame-50.png"

# Live, and an untagged picture's numbers on the screen as they are.
write_show adobe.jpg prophoto.png untagged.png
start_display 1024x768x24
launch_args "$show" --windowed --mode 640x360 --no-credits show.xml
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 1.0
capture "$win" colour-adobe
check_patches "live Adobe RGB" "$ICC/AdobeRGB1998.icc" 2 shot_pixel colour-adobe
wait_clock_at_least "$win" 3.0
capture "$win" colour-prophoto
check_patches "live ProPhoto" "$ICC/ProPhotoRGB.icc" 2 shot_pixel colour-prophoto
wait_clock_at_least "$win" 5.0
capture "$win" colour-untagged
for i in 0 1 2 3; do
  [ "$(shot_pixel colour-untagged $((i * 160 + 80)) 180)" = "${patches[$i]}" ] \
    || fail "live untagged patch $i is $(shot_pixel colour-untagged $((i * 160 + 80)) 180), not ${patches[$i]}"
done
echo "PASS"
