#!/usr/bin/env bash
# A clip in a show, as a user meets it: a clip of three one-second colour
# segments (red, green, blue) with a 1 kHz tone, between two white
# pictures, over 440 Hz music. Rendered: the segment due at each time
# (trimmed start, crossfade from the picture, its last frame held), the
# tone during the clip and the music at its duck under it with ramps of
# half a second; from --start inside the clip, the right segment and tone
# at once. Live: the same segments on the screen by the clock in the title,
# the music ducked in what the sound device is given. A clip turned by its
# display matrix shows upright; one without sound leaves the music alone;
# --check opens every clip.
source "$(dirname "$0")/lib.sh"
show="$WORK/show"
mkdir -p "$show"
ffmpeg -v error -y -f lavfi -i "color=c=red:s=160x90:r=10:d=1[r];color=c=lime:s=160x90:r=10:d=1[g];\
color=c=blue:s=160x90:r=10:d=1[b];[r][g][b]concat=n=3:v=1:a=0,drawbox=x=0:y=0:w=40:h=45:color=yellow:t=fill,format=yuv420p" \
  -f lavfi -i "sine=frequency=1000:duration=3:sample_rate=44100" -c:v libx264 -g 5 -c:a aac -shortest "$show/clip.mp4"
ffmpeg -v error -y -i "$show/clip.mp4" -an -c copy -metadata:s:v:0 rotate=90 "$show/turned.mp4"
convert -size 160x90 xc:white "$show/white.jpg"
sox -n -r 44100 -c 2 "$show/music.wav" synth 14 sine 440 vol 0.5
cat >"$show/show.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<korvell>
  <viewport x="16" y="9"/>
  <imagearea><position x="0" y="0"/><size width="16" height="9"/></imagearea>
  <music>music.wav</music>
  <image time="3"><file>white.jpg</file><transition time="0">none</transition></image>
  <video time="4"><file>clip.mp4</file><trim start="0.5"/><transition time="0.2">crossfade</transition>
    <sound volume="1" duck="0.25"/></video>
  <video time="2"><file>turned.mp4</file><fit>contain</fit><transition time="0">none</transition></video>
  <image time="3"><file>white.jpg</file></image>
  <image time="1"/>
</korvell>
XML

"$KORVELL" --check "$show/show.xml" >"$WORK/stdout.txt" 2>&1 || fail "the show does not check clean"
grep -q 'show.xml:7: note: the slide lasts 4 s, the clip 2.5 s: its last frame is held, in silence' "$WORK/stdout.txt" \
  || fail "no note of the held frame: $(cat "$WORK/stdout.txt")"

out="$WORK/out"
mkdir -p "$out"
"$KORVELL" --render "$out/show.mp4" --size 320x180 --fps 10 --no-credits --quiet "$show/show.xml" >"$WORK/stdout.txt" 2>&1 \
  || fail "the render failed"
colour_in() { # video time [x y]: the frame's colour there, as HLL, LHL...
  ffmpeg -v error -y -ss "$2" -i "$1" -frames:v 1 "$WORK/frame.png"
  convert "$WORK/frame.png" -format "%[fx:p{${3:-240},${4:-90}}.r>0.8?1:0] %[fx:p{${3:-240},${4:-90}}.g>0.8?1:0] %[fx:p{${3:-240},${4:-90}}.b>0.8?1:0]" info: \
    | awk '{printf "%s%s%s", $1?"H":"L", $2?"H":"L", $3?"H":"L"}'
}
# The clip from 0.5 s of it at 3 s of the show: a crossfade to 3.2 s,
# red to 3.5 (1 s of clip), green to 4.5, blue to 5.5, then held to 7 s.
for probe in "1.0 HHH" "3.3 HLL" "4.0 LHL" "5.0 LLH" "6.5 LLH" "9.0 HHH"; do
  set -- $probe
  got=$(colour_in "$out/show.mp4" "$1")
  note "rendered at $1 s: $got"
  [ "$got" = "$2" ] || fail "at $1 s the render shows $got, not $2"
done
# The turned clip (from 7 s, contained): upright, its mark at the bottom left.
[ "$(colour_in "$out/show.mp4" 7.5 152 10)" = HLL ] || fail "the turned clip's top is not red"
[ "$(colour_in "$out/show.mp4" 7.5 142 170)" = HHL ] || fail "the turned clip's mark is not at its bottom left"

ffmpeg -v error -y -i "$out/show.mp4" -vn -ac 1 -ar 48000 "$WORK/sound.wav"
full=$(rms "$WORK/sound.wav" 1 1 400-480)
under=$(rms "$WORK/sound.wav" 3.5 1.5 400-480)
ramp=$(rms "$WORK/sound.wav" 2.7 0.1 400-480)
back=$(rms "$WORK/sound.wav" 5.7 0.1 400-480)
after=$(rms "$WORK/sound.wav" 6.2 0.6 400-480)
tone=$(rms "$WORK/sound.wav" 3.5 1.5 950-1050)
silent=$(rms "$WORK/sound.wav" 6.2 0.6 950-1050)
note "music: $(ratio "$under" "$full") of its level under the clip, $(ratio "$ramp" "$full") half way down, $(ratio "$back" "$full") half way back, $(ratio "$after" "$full") after; the clip's tone $tone, after it $silent"
# duck 0.25 is -12 dB: within 1 dB, 0.22 to 0.28; the ramps' midpoints 0.625.
within "$(ratio "$under" "$full")" 0.22 0.28 || fail "the music is not at its duck under the clip"
within "$(ratio "$ramp" "$full")" 0.5 0.75 || fail "the music is not half way down 0.25 s before the clip"
within "$(ratio "$back" "$full")" 0.5 0.75 || fail "the music is not half way back 0.25 s after the clip"
within "$(ratio "$after" "$full")" 0.9 1.1 || fail "the music is not back after the clip"
awk -v t="$tone" -v s="$silent" 'BEGIN{exit !(t > 10 * s && t > 0.005)}' || fail "the clip's tone is not in the sound"
# The turned clip has no sound: the music plays on at its level.
within "$(ratio "$(rms "$WORK/sound.wav" 7.3 1.4 400-480)" "$full")" 0.9 1.1 || fail "the music ducked under a clip without sound"

# From 4.2 s, inside the clip: its green segment and its tone at once.
"$KORVELL" --render "$out/late.mp4" --size 320x180 --fps 10 --no-credits --quiet --start 4.2 "$show/show.xml" \
  >"$WORK/stdout.txt" 2>&1 || fail "the render from 4.2 s failed"
[ "$(colour_in "$out/late.mp4" 0)" = LHL ] || fail "from 4.2 s the first frame is not the green segment"
ffmpeg -v error -y -i "$out/late.mp4" -vn -ac 1 -ar 48000 "$WORK/late.wav"
late=$(rms "$WORK/late.wav" 0 0.3 950-1050)
awk -v t="$late" 'BEGIN{exit !(t > 0.005)}' || fail "from 4.2 s the clip's tone is not there at once ($late)"

# A clip that is a FIFO (or cannot be decoded): --check says so at its line
# at once; the render names it once and shows nothing in its place.
mkfifo "$show/pipe.mp4"
cat >"$show/fifo.xml" <<XML
<korvell><viewport x="16" y="9"/><imagearea><position x="0" y="0"/><size width="16" height="9"/></imagearea>
<video time="1"><file>pipe.mp4</file></video><image time="1"><file>white.jpg</file></image><image time="1"/></korvell>
XML
rc=0
timeout 20 "$KORVELL" --check "$show/fifo.xml" >"$WORK/stdout.txt" 2>&1 || rc=$?
[ "$rc" = 2 ] || fail "--check of a FIFO clip: exit $rc"
grep -q 'fifo.xml:2: error: clip "pipe.mp4": not a file' "$WORK/stdout.txt" || fail "--check said: $(cat "$WORK/stdout.txt")"
rc=0
timeout 20 "$KORVELL" --render "$out/fifo.mp4" --size 160x90 --fps 10 --no-credits --quiet "$show/fifo.xml" \
  >"$WORK/stdout.txt" 2>&1 || rc=$?
[ "$rc" = 0 ] || fail "the render with a FIFO clip: exit $rc: $(cat "$WORK/stdout.txt")"
[ "$(grep -c 'pipe.mp4' "$WORK/stdout.txt")" = 1 ] || fail "the FIFO clip is not named once: $(cat "$WORK/stdout.txt")"
[ "$(colour_in "$out/fifo.mp4" 0.5 80 45)" = LLL ] || fail "the FIFO clip's slide is not empty"

# Live: the segment due by the clock in the title, and the music ducked in
# what the sound device is given.
start_display 1024x768x24
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/live.raw" launch_args "$show" --windowed --mode 320x180 --no-credits show.xml
win=$(wait_window '^Korvell :: [0-9]')
for probe in "4.0 0 254 0" "5.0 0 0 254" "6.2 0 0 254"; do
  set -- $probe
  wait_clock_at_least "$win" "$1" >/dev/null
  capture "$win" "live-$1"
  got=$(shot_pixel "live-$1" 240 90)
  note "live at $SHOT_FROM to $SHOT_TO s: $got"
  near "$got" "$2 $3 $4" 40 || fail "live at $1 s: $got"
done
wait_clock_at_least "$win" 6.5 >/dev/null
kill "$KPID"
wait "$KPID" 2>/dev/null || true
KPID=""
# (The live show's sound, from its start: silence before it is stripped.)
sox -t f32 -r 48000 -c 2 "$WORK/live.raw" -c 1 "$WORK/live.wav" silence 1 1 0.001
lfull=$(rms "$WORK/live.wav" 1 1 400-480)
lunder=$(rms "$WORK/live.wav" 3.6 1.3 400-480)
note "live: the music at $(ratio "$lunder" "$lfull") of its level under the clip"
within "$(ratio "$lunder" "$lfull")" 0.22 0.28 || fail "live, the music is not at its duck under the clip"

# Live from 3.8 s, inside the clip: its green segment on the first frames,
# and its tone from the first sound.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/late.raw" launch_args "$show" --windowed --mode 320x180 --no-credits \
  --start 3.8 show.xml
win=$(wait_window '^Korvell :: [0-9]')
capture "$win" live-late
note "live from 3.8 s, at $SHOT_FROM to $SHOT_TO s: $(shot_pixel live-late 240 90)"
near "$(shot_pixel live-late 240 90)" "0 254 0" 40 || fail "live from 3.8 s does not begin on the green segment"
sleep 0.5
kill "$KPID"
wait "$KPID" 2>/dev/null || true
KPID=""
sox -t f32 -r 48000 -c 2 "$WORK/late.raw" -c 1 "$WORK/late-live.wav" silence 1 1 0.001
awk -v t="$(rms "$WORK/late-live.wav" 0 0.2 950-1050)" 'BEGIN{exit !(t > 0.005)}' || fail "live from 3.8 s the clip tone is not there at once"
echo "PASS"
