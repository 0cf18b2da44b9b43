#!/usr/bin/env bash
# korvell --render on a machine without a display: a small show of flat
# colours with a cut, a crossfade and a fade, read back with ffprobe and
# ffmpeg. Its length is the show's plus the forty-second credits, frame n
# shows the show at n / fps, the music is there until it ends, the SubRip
# cues have the lines' spans, and nothing is left behind after an error.
source "$(dirname "$0")/lib.sh"
unset DISPLAY
show="$WORK/show"
mkdir -p "$show/pictures"
add_credits "$show"
for c in red:'#ff0000' blue:'#0000ff' green:'#00ff00'; do
  convert -size 64x48 "xc:${c#*:}" -type TrueColor -quality 95 "$show/pictures/${c%%:*}.jpg"
done
sox -n -r 44100 -c 2 "$show/tone.ogg" synth 6 sine 440 vol 0.5
cat >"$show/show.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<korvell>
  <viewport x="10" y="10"/>
  <imagearea><position x="0" y="0"/><size width="10" height="10"/></imagearea>
  <subtitles delay="0.5"><face>Liberation Sans</face></subtitles>
  <music>tone.ogg</music>
  <image time="3"><file>pictures/red.jpg</file><transition time="1">none</transition><line1>Czerwień, zażółć</line1></image>
  <image time="3"><file>pictures/blue.jpg</file><transition time="2">crossfade</transition><line1>Grüße &amp; Καλημέρα, 你好, שלום 123</line1></image>
  <image time="3"><file>pictures/green.jpg</file><transition time="2">fade</transition></image>
  <image time="1"/>
</korvell>
XML
out="$WORK/out"
mkdir -p "$out"
"$KORVELL" --render "$out/show.mp4" --size 160x120 --fps 10 --srt "$out/show.srt" "$show/show.xml" >"$WORK/stdout.txt" 2>&1 \
  || fail "render failed: $(cat "$WORK/stdout.txt")"
[ -f "$out/show.mp4" ] || fail "no video"
[ ! -e "$out/show.mp4.partial" ] || fail "the partial file is left"
[ ! -s "$WORK/stdout.txt" ] || fail "output when stderr is no terminal: $(cat "$WORK/stdout.txt")"

frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$out/show.mp4")
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/show.mp4")
note "frames $frames, duration $duration"
[ "$frames" = 490 ] || fail "$frames frames, expected 490 (9 s of show and 40 s of credits at 10 fps)"
awk -v d="$duration" 'BEGIN{exit !(d > 48.9 && d < 49.2)}' || fail "duration $duration"

# Frame n of the video at t = n / 10, in the picture's middle.
frame_rgb() {
  ffmpeg -v error -i "$out/show.mp4" -vf "select=eq(n\,$1),crop=2:2:80:60" -frames:v 1 -f rawvideo -pix_fmt rgb24 - \
    | od -An -tu1 -N3 | awk '{print $1, $2, $3}'
}
expect() { # frame "r g b" what [tolerance]
  local got
  got=$(frame_rgb "$1")
  note "frame $1 ($3): $got"
  near "$got" "$2" "${4:-6}" || fail "frame $1 ($3) is $got, expected $2"
}
# The first frame at or past a transition's end finishes it: frame 50
# (t = 5.0, the crossfade's end) is blue whole, frame 80 (the fade's end)
# green whole, with nothing of the leaving picture left.
expect 15 "254 0 0" "the first slide"
expect 40 "127 0 128" "halfway through the crossfade: red at half over blue"
expect 55 "0 0 255" "after the crossfade"
expect 65 "0 0 127" "fading out: blue at half over black"
expect 75 "0 127 0" "fading in: green at half"
expect 85 "0 255 0" "after the fade"
# Exactly the entering picture: the same as a frame well inside its slide.
expect 50 "$(frame_rgb 58)" "the frame at the crossfade's end, against frame 58" 1
expect 80 "$(frame_rgb 88)" "the frame at the fade's end, against frame 88" 1

# The music: audible from the start until it ends at 6 s, silence after.
level() { ffmpeg -v info -ss "$1" -t "$2" -i "$out/show.mp4" -vn -af volumedetect -f null - 2>&1 | sed -n "s/.*$3: \(-*[0-9.]*\) dB/\1/p"; }
loud=$(level 0.2 5.5 mean_volume)
quiet=$(level 7 1.5 max_volume)
note "music mean ${loud} dB until 6 s, max ${quiet} dB after"
awk -v v="$loud" 'BEGIN{exit !(v > -20)}' || fail "the music is not there ($loud dB)"
awk -v v="$quiet" 'BEGIN{exit !(v < -60)}' || fail "sound after the music ended ($quiet dB)"

# The SubRip cue: the first slide's line, in UTF-8, within its delays.
grep -q "^00:00:00,500 --> 00:00:02,500$" "$out/show.srt" || fail "cue times: $(cat "$out/show.srt")"
grep -q "^Czerwień, zażółć$" "$out/show.srt" || fail "cue text: $(cat "$out/show.srt")"
# Every language, as the script has it (the entity read as part of it).
grep -q "^00:00:03,500 --> 00:00:05,500$" "$out/show.srt" || fail "second cue times: $(cat "$out/show.srt")"
grep -q "^Grüße & Καλημέρα, 你好, שלום 123$" "$out/show.srt" || fail "second cue text: $(cat "$out/show.srt")"

# Errors: an extension Korvell cannot write, a folder it cannot write to,
# Ctrl+C in the middle. Nothing is left behind.
"$KORVELL" --render "$out/show.avi" "$show/show.xml" >"$WORK/err.txt" 2>&1 && fail "an .avi was accepted" || RC=$?
[ "$RC" = 2 ] || fail "exit $RC for an .avi"
"$KORVELL" --render /proc/korvell/show.mp4 "$show/show.xml" >"$WORK/err.txt" 2>&1 && fail "an unwritable folder" || RC=$?
[ "$RC" = 1 ] || fail "exit $RC for an unwritable folder"
grep -q "cannot write" "$WORK/err.txt" || fail "no reason: $(cat "$WORK/err.txt")"
"$KORVELL" --render "$out/long.webm" --size 1280x720 --quiet "$show/show.xml" >"$WORK/err.txt" 2>&1 &
pid=$!
for _ in $(seq 1 100); do [ -e "$out/long.webm.partial" ] && break; sleep 0.05; done
sleep 1
kill -INT "$pid"
rc=0
wait "$pid" || rc=$?
note "Ctrl+C during a render: exit $rc"
[ "$rc" = 130 ] || fail "exit $rc after Ctrl+C"
[ ! -e "$out/long.webm.partial" ] && [ ! -e "$out/long.webm" ] || fail "a file left after Ctrl+C: $(ls "$out")"

# The live frame and the rendered frame at the same time: the show played
# in a window, paused inside the crossfade, its title's clock read, and the
# render started there; whole frames compared, per channel.
start_display
launch_args "$show" --windowed --mode 160x120 --start 3.8 show.xml
win=$(wait_window '^Korvell :: [0-9]')
xdotool key --window "$win" space
sleep 0.7
t=$(xdotool getwindowname "$win" | sed 's/^Korvell :: //')
import -window "$win" "$WORK/live.png"
sleep 0.3
[ "$(xdotool getwindowname "$win" | sed 's/^Korvell :: //')" = "$t" ] || fail "the clock moved while paused"
kill "$KPID"
"$KORVELL" --render "$out/at.mkv" --size 160x120 --fps 10 --no-credits --start "$t" "$show/show.xml" >"$WORK/err.txt" 2>&1 \
  || fail "render from $t: $(cat "$WORK/err.txt")"
ffmpeg -v error -i "$out/at.mkv" -frames:v 1 "$WORK/rendered.png"
mad=$(convert "$WORK/live.png" "$WORK/rendered.png" -compose difference -composite -separate \
  -format '%[fx:round(mean*255*10)/10] ' info:)
note "live and rendered frames at $t s: mean absolute difference per channel $mad"
for m in $mad; do awk -v m="$m" 'BEGIN{exit !(m <= 3)}' || fail "the rendered frame differs from the live one ($mad)"; done
echo "PASS"
