#!/usr/bin/env bash
# Faces kept in frame: a real portrait photograph (scikit-image's
# astronaut, cut tall as a phone's portrait) and a wide cut of it, in
# cover, zooming in: with <focus>auto</focus> Korvell's finder sees the
# face in every rendered frame of the slide, at 1280 x 720 and 1920 x 1080;
# with none (as before) the centred crop of the tall one cuts it off. A
# script --new writes plays the same.
source "$(dirname "$0")/lib.sh"
FACES="$BUILD/kv-faces"
show="$WORK/show"
mkdir -p "$show"
convert "$BUILD/photos/astronaut.png" -crop 384x512+64+0 +repage -quality 95 "$show/tall.jpg"
convert "$BUILD/photos/astronaut.png" -crop 512x200+0+30 +repage -quality 95 "$show/wide.jpg"
[ "$("$FACES" "$show/tall.jpg" | cut -d' ' -f1)" = 1 ] || fail "the finder sees no face in the photograph itself"
write_show() { # focus
  cat >"$show/show.xml" <<XML
<korvell><viewport x="16" y="9"/><imagearea><position x="0" y="0"/><size width="16" height="9"/></imagearea>
  <global><fit>cover</fit><focus>$1</focus></global>
  <image time="3" zoom="1"><file>tall.jpg</file><transition time="0">none</transition><zoom f="1.15"/></image>
  <image time="3" zoom="1.15"><file>wide.jpg</file><transition time="0">none</transition><zoom f="0.87"/></image>
  <image time="1"/>
</korvell>
XML
}
# Faces seen in each frame of a render: one line a frame (one finder for
# them all: its model is read once).
faces_in() { # video first last
  rm -f "$WORK"/f-*.png
  ffmpeg -v error -i "$1" -vf "select=between(n\,$2\,$3)" -vsync 0 "$WORK/f-%03d.png"
  "$FACES" "$WORK"/f-*.png
}
unset DISPLAY
for size in 1280x720 1920x1080; do
  for focus in auto none; do
    write_show "$focus"
    "$KORVELL" --render "$WORK/$focus-$size.mkv" --size "$size" --fps 2 --no-credits --quiet "$show/show.xml" \
      >"$WORK/stdout.txt" 2>&1 || fail "render $focus at $size: $(cat "$WORK/stdout.txt")"
  done
  # Two frames a second: the tall slide's are 0 to 5, the wide one's 6 to 11.
  seen=$(faces_in "$WORK/auto-$size.mkv" 0 11 | awk '$1 >= 1' | wc -l)
  note "$size, focus auto: the face seen in $seen of 12 frames"
  [ "$seen" = 12 ] || fail "$size, focus auto: the face is out of frame in $((12 - seen)) frames"
  cut_off=$(faces_in "$WORK/none-$size.mkv" 0 5 | awk '$1 == 0' | wc -l)
  note "$size, focus none: the tall slide's face cut off in $cut_off of 6 frames"
  [ "$cut_off" = 6 ] || fail "$size, focus none: the centred crop was expected to cut the face in every frame"
  wide=$(faces_in "$WORK/none-$size.mkv" 6 11 | awk '$1 >= 1' | wc -l)
  [ "$wide" = 6 ] || fail "$size, focus none: the wide slide (its face in the middle) lost it in $((6 - wide)) frames"
done
ffmpeg -v error -y -i "$WORK/auto-1280x720.mkv" -vf "select=eq(n\,5)" -frames:v 1 "$SHOTS/focus-auto.png"
ffmpeg -v error -y -i "$WORK/none-1280x720.mkv" -vf "select=eq(n\,5)" -frames:v 1 "$SHOTS/focus-none.png"

# --new names the region it found; the script plays with the face in frame.
rm -f "$show/show.xml"
(cd "$show" && "$KORVELL" --new new.xml --fit cover tall.jpg) >"$WORK/stdout.txt" 2>&1 || fail "--new: $(cat "$WORK/stdout.txt")"
grep -q '<focus x="0\.[0-9]*" y="0\.[0-9]*" width="0\.[0-9]*" height="0\.[0-9]*"/>' "$show/new.xml" \
  || fail "--new wrote no region: $(cat "$show/new.xml")"
"$KORVELL" --render "$WORK/new.mkv" --size 1280x720 --fps 2 --no-credits --quiet "$show/new.xml" \
  >"$WORK/stdout.txt" 2>&1 || fail "render of --new's script: $(cat "$WORK/stdout.txt")"
frames=$(faces_in "$WORK/new.mkv" 0 9 | awk '$1 >= 1' | wc -l)
[ "$frames" = 10 ] || fail "--new's script: the face out of frame in $((10 - frames)) of 10 frames"
echo "PASS"
