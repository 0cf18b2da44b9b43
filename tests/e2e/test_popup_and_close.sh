#!/usr/bin/env bash
# The right-click popup menu: Escape only dismisses it; Quit ends the show
# loop; then the close box ends the credits loop and the program with 0.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
start_long_show lime
win=$WIN
focus "$win"
xdotool mousemove --window "$win" 200 150 click 3
sleep 0.6
xdotool key Escape
sleep 0.6
shot popup-dismissed
c=$(clock_of "$win")
awk -v a="$c" 'BEGIN{exit !(a > 1.5)}' || fail "Escape on the open menu ended the show (clock $c)"
px=$(shot_pixel popup-dismissed 240 190)
near "$px" "0 255 0" 12 || fail "the menu is still drawn after Escape ($px)"
xdotool mousemove --window "$win" 200 150 click 3
sleep 0.6
shot popup-open
# The popup's top-left corner is at the cursor: two disabled entries, a
# separator, then Quit.
xdotool mousemove --window "$win" 230 205
sleep 0.3
xdotool click 1
sleep 0.8
c=$(clock_of "$win")
note "clock after Quit: $c"
awk -v a="$c" 'BEGIN{exit !(a < 1.0)}' || fail "Quit did not end the show loop (clock $c)"
wait_clock_at_least "$win" 0.5 >/dev/null
"$BUILD/kv-wm-close" "$win"
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC after closing the window"
echo "PASS"
