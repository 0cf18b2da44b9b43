#!/usr/bin/env bash
# A short show from its script, seen on the screen: a red slide, a
# crossfade to blue, a fade through the black background to green. The
# expected colour of each screenshot follows from the clock read from the
# title just before and just after it was taken.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
make_picture red.jpg '#ff0000'
make_picture blue.jpg '#0000ff'
make_picture green.jpg '#00ff00'
write_show "red.jpg 3 none 0" "blue.jpg 3 crossfade 2" "green.jpg 3 fade 2" "red.jpg 1 none 0"
sed -i 's|<background r="0" g="0" b="1"/>|<background r="0" g="0" b="0"/>|' "$WORK/english.xml"
launch
accept_dialog_with windowed
win=$(wait_window '^Korvell :: [0-9]')

check() { # name channel lo hi
  local px
  px=$(shot_pixel "$1" 512 384)
  local v
  v=$(echo "$px" | cut -d' ' -f"$2")
  note "$1 at ${SHOT_FROM}..${SHOT_TO}s: $px"
  between "$v" "$3" "$4" 12 || fail "$1: channel $2 is $v, expected $3..$4 (pixel $px)"
}
# alpha of the leaving slide in a crossfade of T seconds starting at s
xf() { awk -v c="$1" -v s="$2" -v T="$3" 'BEGIN{a=1-(c-s)/T; if(a<0)a=0; if(a>1)a=1; printf "%d", a*255}'; }

wait_clock_at_least "$win" 1.5 >/dev/null
capture "$win" before
check before 1 250 255
check before 3 0 0

wait_clock_at_least "$win" 4.0 >/dev/null
capture "$win" crossfade
lo=$(xf "$SHOT_TO" 3 2); hi=$(xf "$SHOT_FROM" 3 2)
check crossfade 1 "$lo" "$hi"
check crossfade 3 $((255 - hi)) $((255 - lo))

wait_clock_at_least "$win" 5.3 >/dev/null
capture "$win" after-crossfade
check after-crossfade 3 200 255
check after-crossfade 1 0 50

wait_clock_at_least "$win" 6.5 >/dev/null
capture "$win" fade-out
# First half of the fade: blue at 1 - c/h over black, no green yet.
lo=$(xf "$SHOT_TO" 6 1); hi=$(xf "$SHOT_FROM" 6 1)
check fade-out 3 "$lo" "$hi"
# Green only from 7 s on (a busy machine may take the shot late).
lo=$((255 - $(xf "$SHOT_FROM" 7 1))); hi=$((255 - $(xf "$SHOT_TO" 7 1)))
check fade-out 2 "$lo" "$hi"

wait_clock_at_least "$win" 7.5 >/dev/null
capture "$win" fade-in
lo=$((255 - $(xf "$SHOT_FROM" 7 1))); hi=$((255 - $(xf "$SHOT_TO" 7 1)))
check fade-in 2 "$lo" "$hi"
lo=$(xf "$SHOT_TO" 6 1); hi=$(xf "$SHOT_FROM" 6 1)
check fade-in 3 "$lo" "$hi"

wait_clock_at_least "$win" 8.3 >/dev/null
capture "$win" after-fade
check after-fade 2 200 255

# The show ends by itself at 9 s and the credits begin from zero.
for _ in $(seq 1 60); do
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
