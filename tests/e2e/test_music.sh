#!/usr/bin/env bash
# Music: a playlist of two tones (440 Hz at 44.1 kHz, then 880 Hz at
# 32 kHz) rendered and measured at chosen times, the crossfade's midpoint
# at half of each; a render from a later start begins in the second track,
# and so does the live show (SDL's disk audio driver capturing it); music
# that cannot be read gives a silent video and exit 1 (0 with
# --allow-silent), and is named once when played live; --beats cuts a folder show on the clicks of a click track.
source "$(dirname "$0")/lib.sh"
show="$WORK/show"
mkdir -p "$show"
convert -size 32x24 xc:'#808080' "$show/grey.jpg"
sox -n -r 44100 -c 1 "$show/a.wav" synth 6 sine 440 vol 0.5
sox -n -r 32000 -c 2 "$show/b.ogg" synth 6 sine 880 vol 0.5
cat >"$show/show.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<korvell>
  <imagearea><position x="0" y="0"/><size width="1" height="1"/></imagearea>
  <playlist crossfade="2" fadeout="2"><track>a.wav</track><track>b.ogg</track></playlist>
  <image time="5"><file>grey.jpg</file></image>
  <image time="5"><file>grey.jpg</file></image>
  <image time="1"/>
</korvell>
XML
out="$WORK/out"
mkdir -p "$out"
"$KORVELL" --check "$show/show.xml" >"$WORK/stdout.txt" 2>&1 || fail "the playlist does not check clean"
"$KORVELL" --render "$out/show.mkv" --size 64x48 --fps 10 --no-credits --quiet "$show/show.xml" >"$WORK/stdout.txt" 2>&1 \
  || fail "render failed"
ffmpeg -v error -i "$out/show.mkv" -vn -ac 1 -ar 48000 "$WORK/sound.wav"


first=$(pitch "$WORK/sound.wav" 1 2)
second=$(pitch "$WORK/sound.wav" 6.5 1)
note "pitch from 1 to 3 s: $first Hz; from 6.5 to 7.5 s: $second Hz"
within "$first" 430 450 || fail "the first track is not at 440 Hz ($first)"
within "$second" 860 900 || fail "the second track is not at 880 Hz ($second)"
# The crossfade runs from 4 to 6 s: at 5 s each tone at half its own level.
full440=$(rms "$WORK/sound.wav" 2 0.5 400-480)
full880=$(rms "$WORK/sound.wav" 6.5 0.5 840-920)
mid440=$(rms "$WORK/sound.wav" 4.95 0.1 400-480)
mid880=$(rms "$WORK/sound.wav" 4.95 0.1 840-920)
r440=$(awk -v a="$mid440" -v b="$full440" 'BEGIN{print a / b}')
r880=$(awk -v a="$mid880" -v b="$full880" 'BEGIN{print a / b}')
note "at the crossfade's midpoint: 440 Hz at $r440 of its level, 880 Hz at $r880"
within "$r440" 0.42 0.58 || fail "440 Hz at $r440 of its level at the midpoint"
within "$r880" 0.42 0.58 || fail "880 Hz at $r880 of its level at the midpoint"
# The fadeout runs from 8 to 10 s, where the show ends: a quarter at 9.5 s.
late=$(rms "$WORK/sound.wav" 9.45 0.1 840-920)
rlate=$(awk -v a="$late" -v b="$full880" 'BEGIN{print a / b}')
note "at 9.5 s, in the fadeout: $rlate of the level"
within "$rlate" 0.17 0.33 || fail "the fadeout at 9.5 s is at $rlate"

# From a later start: the second track from the first sample.
"$KORVELL" --render "$out/late.mkv" --size 64x48 --fps 10 --no-credits --quiet --start 7 "$show/show.xml" \
  >"$WORK/stdout.txt" 2>&1 || fail "render from 7 s failed"
ffmpeg -v error -i "$out/late.mkv" -vn -ac 1 -ar 48000 "$WORK/late.wav"
late=$(pitch "$WORK/late.wav" 0 0.5)
note "rendered from 7 s: $late Hz at first"
within "$late" 860 900 || fail "from 7 s the render begins at $late Hz"

# Live, from 7 s: what the sound device is given begins with the second
# track too (silence before the show starts is stripped).
start_display
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/live.raw" launch_args "$show" --windowed --mode 160x120 --start 7 show.xml
win=$(wait_window '^Korvell :: [0-9]')
sleep 1.5
kill "$KPID"
wait "$KPID" 2>/dev/null || true
KPID=""
sox -t f32 -r 48000 -c 2 "$WORK/live.raw" -c 1 "$WORK/live.wav" silence 1 1 0.001
live=$(pitch "$WORK/live.wav" 0 0.5)
note "live from 7 s: $live Hz at first ($(stat -c %s "$WORK/live.raw") bytes captured)"
within "$live" 860 900 || fail "live from 7 s begins at $live Hz"

# Music that is not music: the video is written without sound, exit 1.
cp "$show/grey.jpg" "$show/song.mp3"
sed 's|<playlist.*</playlist>|<music>song.mp3</music>|' "$show/show.xml" >"$show/silent.xml"
rc=0
"$KORVELL" --check "$show/silent.xml" >"$WORK/stdout.txt" 2>&1 || rc=$?
[ "$rc" = 2 ] || fail "--check of a picture named song.mp3: exit $rc"
grep -q 'silent.xml:4: error: music "song.mp3": cannot be decoded' "$WORK/stdout.txt" || fail "the checker's finding"
rc=0
"$KORVELL" --render "$out/silent.mkv" --size 64x48 --fps 10 --no-credits --quiet "$show/silent.xml" >"$WORK/stdout.txt" 2>&1 || rc=$?
[ "$rc" = 1 ] || fail "a render without its music: exit $rc"
grep -q 'the music "song.mp3" cannot be read' "$WORK/stdout.txt" || fail "no word of the music"
[ -f "$out/silent.mkv" ] || fail "no video without the music"
[ -z "$(ffprobe -v error -select_streams a -show_entries stream=index -of csv=p=0 "$out/silent.mkv")" ] || fail "an audio track"
# Live: named once on stderr and in the log, and the show plays on.
launch_args "$show" --windowed --mode 160x120 --watch silent.xml
win=$(wait_window '^Korvell :: [0-9]')
sleep 0.5
touch "$show/silent.xml" # read again: not told again
for _ in $(seq 1 40); do grep -q "read again" "$WORK/stdout.txt" && break; sleep 0.1; done
kill "$KPID"; wait "$KPID" 2>/dev/null || true; KPID=""
told=$(grep -c 'the music "song.mp3" cannot be played: cannot be decoded' "$WORK/stdout.txt" || true)
[ "$told" = 1 ] || fail "told $told times on stderr: $(cat "$WORK/stdout.txt")"
grep -q 'the music "song.mp3" cannot be played' "$show/xmlparse.log" || fail "not in the log: $(cat "$show/xmlparse.log")"
"$KORVELL" --render "$out/silent.mkv" --force --allow-silent --size 64x48 --fps 10 --no-credits --quiet "$show/silent.xml" \
  >"$WORK/stdout.txt" 2>&1 || fail "--allow-silent still fails"

# --beats: a click every half second from 0.25 s; every change of picture
# on a click, within a frame at 30 fps.
pics="$WORK/pics"
mkdir -p "$pics"
for i in 1 2 3 4 5 6; do convert -size 40x30 "xc:#$((i * 15))4080" "$pics/p$i.jpg"; done
sox -n -r 48000 -c 1 "$WORK/click1.wav" synth 0.02 sine 2000 fade 0 0.02 0.015 pad 0 0.48
sox "$WORK/click1.wav" "$WORK/clicks.wav" repeat 59 pad 0.25 0
"$KORVELL" --new "$pics/beats.xml" --beats --music "$WORK/clicks.wav" "$pics" >"$WORK/stdout.txt" 2>&1 || fail "--beats"
times=$(sed -n 's/.*<image time="\([0-9.]*\)" zoom.*/\1/p' "$pics/beats.xml" | tr '\n' ' ')
note "slide times on the beats: $times"
awk -v t="$times" 'BEGIN{
  n = split(t, s, " "); at = 0; if (n != 6) exit 1
  for (i = 1; i <= n; i++) {
    if (s[i] < 2 || s[i] > 10) exit 1
    at += s[i]; k = (at - 0.25) / 0.5; off = (k - int(k + 0.5)) * 0.5; if (off < 0) off = -off
    if (off > 1 / 30) exit 1
  }}' || fail "cuts off the clicks: $times"
"$KORVELL" --check "$pics/beats.xml" >"$WORK/stdout.txt" 2>&1 || [ $? = 1 ] || fail "the beats script has errors"
echo "PASS"
