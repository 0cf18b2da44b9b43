#!/usr/bin/env bash
# A short show from its script, seen on the screen: a red slide, a
# crossfade to blue, a fade through the black background to green. The
# expected colour of each screenshot follows from the clock read from the
# title just before and just after it was taken, so a busy machine that
# takes a shot late widens the range rather than failing it.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
make_picture red.jpg '#ff0000'
make_picture blue.jpg '#0000ff'
make_picture green.jpg '#00ff00'
write_show "red.jpg 3 none 0" "blue.jpg 3 crossfade 2" "green.jpg 6 fade 2" "red.jpg 1 none 0"
sed -i 's|<background r="0" g="0" b="1"/>|<background r="0" g="0" b="0"/>|' "$WORK/english.xml"
launch
accept_dialog_with windowed
win=$(wait_window '^Korvell :: [0-9]')

# The show's colour channels at clock c: red leaves in the crossfade from
# 3 s to 5 s while blue enters; blue fades to black from 6 s to 7 s, green
# comes in from 7 s to 8 s and stays until 12 s. The first frame at or
# past a transition's end finishes it, so after 5 s blue is whole and
# after 8 s green is, whatever the frame rate.
model='
function clamp(a) { return a < 0 ? 0 : (a > 1 ? 1 : a) }
function add(x) { if (x < lo) lo = x; if (x > hi) hi = x }
function value(ch, c) {
  if (ch == 1) return 255 * clamp(1 - (c - 3) / 2)
  if (ch == 2) return 255 * clamp(c - 7)
  if (c < 6) return 255 * clamp((c - 3) / 2)
  return 255 * clamp(1 - (c - 6))
}'
# The shot is of a frame between SHOT_FROM and SHOT_TO: each channel lies
# within what the show draws over that span.
check() { # name
  local px lo hi ch=1 v
  px=$(shot_pixel "$1" 512 384)
  note "$1 at ${SHOT_FROM}..${SHOT_TO}s: $px"
  awk -v a="$SHOT_FROM" -v b="$SHOT_TO" 'BEGIN{exit !(b >= a && b < 12)}' \
    || fail "$1: the shot's clock ran from $SHOT_FROM to $SHOT_TO"
  for v in $px; do
    read -r lo hi < <(awk -v a="$SHOT_FROM" -v b="$SHOT_TO" -v ch="$ch" "$model"'
      BEGIN { lo = 255; hi = 0
              for (c = a; c <= b + 0.0001; c += 0.005) add(value(ch, c))
              printf "%d %d\n", lo, hi + 0.999 }')
    between "$v" "$lo" "$hi" 12 || fail "$1: channel $ch is $v, expected $lo..$hi (pixel $px)"
    ch=$((ch + 1))
  done
}

for at in 1.5:before 4.0:crossfade 5.3:after-crossfade 6.5:fade-out 7.5:fade-in 9.0:after-fade; do
  wait_clock_at_least "$win" "${at%%:*}" >/dev/null
  capture "$win" "${at#*:}"
  check "${at#*:}"
done

# The show ends by itself at 12 s and the credits begin from zero.
for _ in $(seq 1 200); do
  c=$(clock_of "$win")
  [ -n "$c" ] && awk -v a="$c" 'BEGIN{exit !(a < 2)}' && break
  sleep 0.1
done
c=$(clock_of "$win")
awk -v a="$c" 'BEGIN{exit !(a < 2)}' || fail "the show did not end by itself (clock $c)"
focus "$win"
xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC"
echo "PASS"
