#!/usr/bin/env bash
# The credits after a short show in a 10 x 10 view: pages rise along the
# right side where their timeline puts them, and the program ends by itself
# with 0 about forty seconds after the credits began.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
make_picture red.jpg '#ff0000'
write_show "red.jpg 1 none 0" "red.jpg 1 none 0"
mkdir -p "$WORK/credits"
convert -size 64x64 xc:'#202020' -type TrueColor -quality 95 "$WORK/credits/back.jpg"
convert -size 64x32 xc:'#ffff00' -quality 95 "$WORK/credits/title.jpg"
i=1
for c in '#ff0000' '#00ff00' '#0000ff' '#ff00ff' '#00ffff'; do
  convert -size 64x32 "xc:$c" -quality 95 "$WORK/credits/cr$i.jpg"
  i=$((i + 1))
done
launch
accept_dialog_with windowed
win=$(wait_window '^Korvell :: [0-9]')
# The show ends at 1 s; the credits clock starts again from zero.
for _ in $(seq 1 100); do
  c=$(clock_of "$win")
  [ -n "$c" ] && awk -v a="$c" 'BEGIN{exit !(a < 0.5)}' && break
  sleep 0.05
done
credits_start=$(date +%s.%N)

# Pixel row of view y (10 units over 768 pixels).
row() { awk -v y="$1" 'BEGIN{printf "%d", y * 76.8}'; }
# Top of page k at credits time t (seconds since the credits began).
top() { awk -v t="$1" -v k="$2" 'BEGIN{c=t-1; if(c<0)c=0; printf "%.3f", 8.5 - c*0.5 + 2.5*k}'; }
expect_page() { # shot colour k
  local mid=$(awk -v a="$(top "$SHOT_FROM" "$3")" -v b="$(top "$SHOT_TO" "$3")" 'BEGIN{print (a+b)/2 + 0.75}')
  local px
  px=$(shot_pixel "$1" 824 "$(row "$mid")")
  note "$1: page in slot $3 around y=$mid: $px"
  near "$px" "$2" 40 || fail "$1: expected $2 at y=$mid, found $px"
}

wait_clock_at_least "$win" 3.5 >/dev/null
capture "$win" credits-1
expect_page credits-1 "255 0 0" 0
near "$(shot_pixel credits-1 824 170)" "255 255 0" 30 || fail "title missing: $(shot_pixel credits-1 824 170)"
near "$(shot_pixel credits-1 100 600)" "32 32 32" 12 || fail "background missing: $(shot_pixel credits-1 100 600)"

wait_clock_at_least "$win" 8.0 >/dev/null
capture "$win" credits-2
expect_page credits-2 "255 0 0" 0
expect_page credits-2 "0 255 0" 1

wait_clock_at_least "$win" 13.5 >/dev/null
capture "$win" credits-3
expect_page credits-3 "0 255 0" 1
expect_page credits-3 "0 0 255" 2
# Page 1 has faded out above the title: only background and title there.
near "$(shot_pixel credits-3 824 250)" "32 32 32" 12 || fail "page 1 still visible: $(shot_pixel credits-3 824 250)"

wait_exit 45
[ "$RC" = 0 ] || fail "exit code $RC"
took=$(awk -v a="$credits_start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b-a}')
note "the credits ended by themselves after ${took}s"
awk -v t="$took" 'BEGIN{exit !(t >= 39 && t <= 43)}' || fail "credits took ${took}s"
echo "PASS"
