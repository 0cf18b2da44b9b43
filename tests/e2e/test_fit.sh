#!/usr/bin/env bash
# Pictures keep their shape at any size: a portrait (a WebP) and a
# landscape (a HEIC) in contain, cover and blur, rendered at 320 x 240 and
# 640 x 480; the larger video, scaled down, shows the same frames.
source "$(dirname "$0")/lib.sh"
unset DISPLAY
show="$WORK/show"
mkdir -p "$show"
convert -size 100x200 gradient:'#ff0000'-'#0000ff' -fill '#ffff00' -draw "circle 50,60 50,80" -quality 95 "$show/tall.webp"
convert -size 300x120 gradient:'#00ff00'-'#ff00ff' -fill '#000000' -draw "rectangle 140,40 160,80" -quality 95 "$show/wide.heic"
cat >"$show/show.xml" <<XML
<korvell>
  <viewport x="10" y="10"/>
  <imagearea><position x="1" y="1"/><size width="8" height="8"/></imagearea>
  <global><background r="0.2" g="0.2" b="0.2"/></global>
  <image time="1"><file>tall.webp</file><fit>contain</fit><transition time="0">none</transition></image>
  <image time="1"><file>tall.webp</file><fit>cover</fit></image>
  <image time="1"><file>tall.webp</file><fit>blur</fit></image>
  <image time="1"><file>wide.heic</file><fit>contain</fit></image>
  <image time="1"><file>wide.heic</file><fit>cover</fit><move x="0.2" y="0"/></image>
  <image time="1"><file>wide.heic</file><fit>blur</fit><zoom f="1.3"/></image>
  <image time="1"/>
</korvell>
XML
for size in 320x240 640x480; do
  "$KORVELL" --render "$WORK/$size.mkv" --size "$size" --fps 10 --no-credits --quiet "$show/show.xml" \
    >"$WORK/stdout.txt" 2>&1 || fail "render at $size: $(cat "$WORK/stdout.txt")"
done
for n in 5 15 25 35 45 55; do
  ffmpeg -v error -i "$WORK/320x240.mkv" -vf "select=eq(n\,$n),format=rgb24" -frames:v 1 "$WORK/small-$n.png"
  ffmpeg -v error -i "$WORK/640x480.mkv" -vf "select=eq(n\,$n),format=rgb24,scale=320:240:flags=area" -frames:v 1 \
    "$WORK/large-$n.png"
  mad=$(convert "$WORK/small-$n.png" "$WORK/large-$n.png" -compose difference -composite -colorspace gray \
    -format '%[fx:round(mean*255*10)/10]' info:)
  note "frame $n: mean difference $mad levels"
  awk -v m="$mad" 'BEGIN{exit !(m <= 4)}' || fail "frame $n composes differently at the two sizes ($mad)"
done
# The contain frame's bars are the background at both sizes; the cover
# frame has none.
bar=$(convert "$WORK/small-5.png" -crop 1x1+60+120 -depth 8 txt:- | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')
near "$bar" "51 51 51" 6 || fail "contain: the bar is $bar, not the background"
fill=$(convert "$WORK/small-15.png" -crop 1x1+60+120 -depth 8 txt:- | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')
near "$fill" "51 51 51" 6 && fail "cover: the area's left shows the background"
convert "$WORK"/small-*.png +append "$SHOTS/fit-sheet.png"
echo "PASS"
