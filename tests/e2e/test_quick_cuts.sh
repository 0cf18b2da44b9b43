#!/usr/bin/env bash
# Every frame shows its own slide's picture, whole, at quick cuts: ten
# 1600 x 1200 pictures of flat colours, 0.1 s each, rendered at two sizes
# with every frame's top and bottom halves checked; the same pictures
# live, full-screen, Right pressed twice 40 ms apart; and a show whose
# first slide's transition is a cut of 0 s.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
colours=(ff0000 00ff00 0000ff ffff00 00ffff ff00ff ffffff 808080 ff8000 8000ff)
slides=()
for i in "${!colours[@]}"; do
  make_picture "p$i.jpg" "#${colours[$i]}" 1600x1200
  slides+=("p$i.jpg 0.1 none 0")
done
write_show "${slides[@]}" "- 1 none 0"

# "r g b" of colour i, and whether a measured colour is it.
rgb() { local c=${colours[$1]}; echo "$((16#${c:0:2})) $((16#${c:2:2})) $((16#${c:4:2}))"; }
is_slide() { near "$1" "$(rgb "$2")" 14; }

for size in 1280x720 320x240; do
  out="$WORK/cuts-$size.mp4"
  (cd "$WORK" && "$KORVELL" --render "$out" --size "$size" --fps 30 --no-credits --quiet english.xml) \
    >"$WORK/stdout.txt" 2>&1 || fail "render at $size: $(cat "$WORK/stdout.txt")"
  # Each frame as two pixels: the mean of its top half and of its bottom
  # (turned into RGB first, by the matrix the file declares).
  ffmpeg -v error -i "$out" -vf format=rgb24,scale=1:2:flags=area -f rawvideo -pix_fmt rgb24 - \
    | od -An -v -tu1 -w6 >"$WORK/halves.txt"
  n=0
  while read -r r1 g1 b1 r2 g2 b2; do
    top="$r1 $g1 $b1" bottom="$r2 $g2 $b2"
    # Frame n is at n / 30 s: slide n / 3, or at a boundary (n a multiple
    # of 3) the slide before it, by float rounding; but always one whole.
    k=$((n / 3)) ok=""
    for cand in $k $((n % 3 == 0 && k > 0 ? k - 1 : k)); do
      [ "$cand" -le 9 ] && is_slide "$top" "$cand" && is_slide "$bottom" "$cand" && ok=1
    done
    [ -n "$ok" ] || fail "$size frame $n: top $top, bottom $bottom; expected slide $k (#${colours[$k]})"
    n=$((n + 1))
  done <"$WORK/halves.txt"
  note "$size: $n frames, each its slide's picture whole"
  # 1 s of show; the float sum of ten 0.1 s ends a hair past it.
  [ "$n" = 30 ] || [ "$n" = 31 ] || fail "$size: $n frames, expected 30 or 31"
done

# Live, full-screen on a 1024 x 768 desktop, where these pictures are
# decoded whole: 5 s slides, Right twice 40 ms apart, four times over.
slides=()
for i in "${!colours[@]}"; do slides+=("p$i.jpg 5 none 0"); done
write_show "${slides[@]}" "- 1 none 0"
start_display 1024x768x24
launch_args "$WORK" english.xml
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 0.5 >/dev/null
for round in 1 2 3 4; do
  focus "$win"
  xdotool key --delay 40 Right Right
  sleep 0.3
  capture "$win" "right-twice-$round"
  k=$(awk -v c="$SHOT_TO" 'BEGIN{printf "%d", c / 5}')
  top=$(convert "$SHOTS/right-twice-$round.png" -crop 1024x384+0+0 -resize 1x1! -depth 8 txt:- | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')
  bottom=$(convert "$SHOTS/right-twice-$round.png" -crop 1024x384+0+384 -resize 1x1! -depth 8 txt:- | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')
  note "round $round at ${SHOT_FROM}..${SHOT_TO}s: top $top, bottom $bottom (slide $k)"
  is_slide "$top" "$k" && is_slide "$bottom" "$k" || fail "round $round: not slide $k's picture whole"
done
kill "$KPID"; wait "$KPID" 2>/dev/null || true; KPID=""

# A first slide whose transition is a cut of 0 s: the next slide shows its
# own picture, with nothing of the first left over it.
make_picture red.jpg '#ff0000'
make_picture blue.jpg '#0000ff'
write_show "red.jpg 1 none 0" "blue.jpg 30 none 0" "- 1 none 0"
sed -i 's|<background r="0" g="0" b="1"/>|<background r="0" g="0" b="0"/>|' "$WORK/english.xml"
launch_args "$WORK" --windowed english.xml
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 1.5 >/dev/null
capture "$win" "after-a-cut-of-0"
px=$(shot_pixel "after-a-cut-of-0" 320 240)
note "after a cut of 0 s: $px"
near "$px" "0 0 255" 14 || fail "the second slide shows $px, not its blue"
echo "PASS"
