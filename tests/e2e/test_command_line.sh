#!/usr/bin/env bash
# The command line as an author uses it: a script in another folder played
# windowed from the home folder (its pictures show, its log is written
# beside it), Space to pause and resume, Right for the next slide, --start,
# --watch picking up an edited subtitle line, and full-screen on the
# desktop as it is when no mode is given.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
mkdir -p "$WORK/home" "$WORK/shows/trip/pictures"
show="$WORK/shows/trip"
convert -size 64x48 xc:'#ff0000' -type TrueColor -quality 95 "$show/pictures/red.jpg"
convert -size 64x48 xc:'#0000ff' -type TrueColor -quality 95 "$show/pictures/blue.jpg"
convert -size 64x48 xc:'#00ff00' -type TrueColor -quality 95 "$show/pictures/green.jpg"
script() { # LINE: the first slide's subtitle
  cat >"$show/trip.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<korvell>
  <viewport x="10" y="10"/>
  <imagearea><position x="0" y="0"/><size width="10" height="8"/></imagearea>
  <subtitles y="9.5" scale="1"><face>Liberation Sans</face><color r="1" g="1" b="1"/></subtitles>
  <image time="10"><file>pictures/red.jpg</file><transition time="1">none</transition><line1>$1</line1></image>
  <image time="10"><file>pictures/green.jpg</file></image>
  <image time="60"><file>pictures/blue.jpg</file></image>
  <image time="1"/>
</korvell>
XML
}
script "I"
colour_at() { # shot -> "r g b" in the picture
  shot_pixel "$1" 320 150
}

# 1. From the home folder, windowed: the pictures are the script's own,
# the log is beside the script.
launch_args "$WORK/home" --windowed ../shows/trip/trip.xml
win=$(wait_window '^Korvell :: [0-9]')
geometry=$(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$geometry" = 640x480 ] || fail "windowed show is $geometry"
wait_clock_at_least "$win" 1.0 >/dev/null
capture "$win" cli-red
near "$(colour_at cli-red)" "254 0 0" 6 || fail "the script's picture does not show: $(colour_at cli-red)"
[ -f "$show/xmlparse.log" ] || fail "no log beside the script"
[ ! -e "$WORK/home/xmlparse.log" ] || fail "a log in the home folder"

# 2. Space stops the title's clock; Space again lets it go on.
focus "$win"
xdotool key space
sleep 0.3
a=$(clock_of "$win"); sleep 1.0; b=$(clock_of "$win")
note "paused: $a then $b"
[ "$a" = "$b" ] || fail "the clock moved while paused ($a, $b)"
xdotool key space
sleep 1.0
c=$(clock_of "$win")
awk -v b="$b" -v c="$c" 'BEGIN{exit !(c > b + 0.5)}' || fail "the clock did not go on after Space ($b, $c)"

# 3. Right shows the next slide before its time.
xdotool key Right
sleep 0.6
capture "$win" cli-next
t=$(clock_of "$win")
note "after Right: clock $t, pixel $(colour_at cli-next)"
near "$(colour_at cli-next)" "0 255 0" 6 || fail "Right did not show the next slide: $(colour_at cli-next)"
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC"

# 4. --start 25 opens on the slide that shows at 25 s (the blue one).
launch_args "$WORK/home" --windowed --start 25 ../shows/trip/trip.xml
win=$(wait_window '^Korvell :: [0-9]')
first=$(clock_of "$win")
note "first title with --start 25: $first"
awk -v a="$first" 'BEGIN{exit !(a >= 25 && a < 27)}' || fail "the clock did not start at 25 ($first)"
# The title is set before its frame is drawn: wait for a later frame.
wait_clock_at_least "$win" "$(awk -v a="$first" 'BEGIN{print a + 0.3}')" >/dev/null
capture "$win" cli-start
near "$(colour_at cli-start)" "0 0 254" 6 || fail "--start 25 shows $(colour_at cli-start)"
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10

# 5. --watch: an edited subtitle line shows without a restart.
launch_args "$WORK/home" --windowed --watch ../shows/trip/trip.xml
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 1.0 >/dev/null
capture "$win" watch-before
before=$(bright_pixels watch-before 640x60+0+420)
script "WWWWWWWWWWWWWW"
for _ in $(seq 1 40); do grep -q "read again" "$WORK/stdout.txt" && break; sleep 0.1; done
sleep 0.5
capture "$win" watch-after
after=$(bright_pixels watch-after 640x60+0+420)
t=$(clock_of "$win")
note "subtitle pixels before $before, after $after; clock $t"
grep -q "read again" "$WORK/stdout.txt" || fail "the edit was not picked up"
[ "$after" -gt $((before * 4 + 100)) ] || fail "the edited line does not show ($before -> $after)"
awk -v a="$t" 'BEGIN{exit !(a > 1.0 && a < 10)}' || fail "the show did not go on at the same time ($t)"
# A broken save keeps the show running and says why.
echo "<korvell><image" >"$show/trip.xml"
for _ in $(seq 1 40); do grep -q "does not parse" "$WORK/stdout.txt" && break; sleep 0.1; done
grep -q "does not parse" "$WORK/stdout.txt" || fail "a broken script was not reported"
kill -0 "$KPID" || fail "a broken script ended the show"
grep -q "^Parse error at line" "$show/xmlparse.log" || fail "the log does not say why: $(cat "$show/xmlparse.log")"
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10
script "I"

# 6. Without --windowed or --mode: full-screen on the desktop as it is.
launch_args "$WORK/home" ../shows/trip/trip.xml
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 0.5 >/dev/null
geometry=$(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$geometry" = 1024x768 ] || fail "desktop full-screen window is $geometry"
focus "$win"; xdotool key Escape; sleep 0.3; xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC"

# 7. A bad option: one line of reason and where to look, exit 2; --help
# is the whole usage.
"$KORVELL" --mode 12 >"$WORK/bad.txt" 2>&1 && fail "a bad --mode was accepted" || RC=$?
[ "$RC" = 2 ] || fail "exit $RC for a bad option"
head -1 "$WORK/bad.txt" | grep -q "^korvell: --mode takes WxH" || fail "reason: $(head -1 "$WORK/bad.txt")"
[ "$(sed -n 2p "$WORK/bad.txt")" = "Try 'korvell --help'." ] || fail "second line: $(sed -n 2p "$WORK/bad.txt")"
[ "$(wc -l <"$WORK/bad.txt")" = 2 ] || fail "more than two lines: $(cat "$WORK/bad.txt")"
"$KORVELL" --help >"$WORK/help.txt" || fail "--help failed"
grep -q "^  --watch" "$WORK/help.txt" || fail "--help lacks the options"
echo "PASS"
