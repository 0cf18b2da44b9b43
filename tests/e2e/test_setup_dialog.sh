#!/usr/bin/env bash
# The setup dialog as a user meets it: its look, Return for a full-screen
# show at the default resolution, "Run windowed" and "Noise" ticked with
# clicks, and "Polish" chosen from the keyboard.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
make_picture red.jpg '#ff0000'
write_show "red.jpg 60 none 0" "red.jpg 60 none 0" "red.jpg 1 none 0"
sed -i 's|<global>|<global><effect alpha="0.5" size="128">noise</effect>|' "$WORK/english.xml"

# 1. Its look, and Return accepting the defaults: full screen, no noise.
launch
d=$(wait_window "Korvell :: Setup")
sleep 0.5
shot setup-dialog
read -r _ _ w h < <(xwininfo -id "$d" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print 0, 0, w, h}')
[ "$w" = 478 ] && [ "$h" = 200 ] || fail "dialog client area ${w}x${h}, expected 478x200"
focus "$d"
xdotool key Return
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 1.0 >/dev/null
geometry=$(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$geometry" = 1024x768 ] || fail "full-screen window is $geometry"
# Without a window manager the two modes look alike; SDL gives a windowed
# (fixed-size) window size hints and a full-screen one none.
fixed_size() { xwininfo -size -id "$1" | grep -qi "supplied minimum size"; }
if fixed_size "$win"; then fail "full-screen window carries windowed size hints"; fi
capture "$win" fullscreen-plain
px=$(shot_pixel fullscreen-plain 300 300)
near "$px" "254 0 0" 3 || fail "plain show pixel $px (noise should be off)"
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC"

# 2. "Run windowed" and "Noise" ticked: a window with grey noise over red.
launch
accept_dialog_with windowed noise
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 1.0 >/dev/null
fixed_size "$win" || fail "windowed run is full-screen"
capture "$win" windowed-noise
distinct=$(for x in $(seq 100 7 400); do shot_pixel windowed-noise "$x" 300; done | sort -u | wc -l)
note "distinct colours along a row: $distinct"
[ "$distinct" -gt 10 ] || fail "no noise over the picture"
for x in 120 240 360; do
  read -r r g b <<<"$(shot_pixel windowed-noise "$x" 300)"
  [ "$g" = "$b" ] || fail "noise is not grey at $x: $r $g $b"
  [ "$r" -ge 127 ] || fail "picture not under the noise at $x: $r $g $b"
done
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10

# 3. "Polish" plays polish.xml.
mv "$WORK/english.xml" "$WORK/polish.xml"
launch
accept_dialog_with polish windowed
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 0.5 >/dev/null
grep -qx "XML Parse log file for: polish.xml" "$WORK/xmlparse.log" || fail "log: $(head -3 "$WORK/xmlparse.log")"
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC"
echo "PASS"
