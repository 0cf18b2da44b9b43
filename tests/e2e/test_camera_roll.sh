#!/usr/bin/env bash
# A phone's camera folder as it is copied off: photos with their dates,
# clips recorded between them (one a MOV whose date is in its own zone,
# one with segments and a tone), a Live Photo (a still and its short MOV)
# and a Motion Photo (a JPEG with its MP4 appended and told by its XMP),
# a damaged clip and a sound file. Rendered over music: the slides in the
# order taken, each moment one slide, the clip's segments at their times,
# its tone in the sound with the music ducked under it; the script --new
# writes renders the same show; with --live-photos play each moment plays
# (muted) before its still, live too; a folder of clips alone plays.
source "$(dirname "$0")/lib.sh"
DATE="$BUILD/kv-photo-date"
roll="$WORK/DCIM"
mkdir -p "$roll" "$WORK/clips"
still() { # NAME COLOUR DATE
  convert -size 160x90 "xc:$2" -type TrueColor -quality 95 "$roll/$1"
  "$DATE" "$roll/$1" "$3" "+00:00"
}
clip() { # NAME FILTER SECONDS [ffmpeg options...]
  local name="$1" filter="$2" seconds="$3"
  shift 3
  ffmpeg -v error -y -f lavfi -i "$filter" "$@" -t "$seconds" -c:v libx264 -pix_fmt yuv420p "$name"
}
still p1.jpg '#ff0000' "2024:05:06 10:00:00"
still IMG_0003.jpg '#ffff00' "2024:05:06 10:02:00"
still PXL_0004.MP.jpg '#ffffff' "2024:05:06 10:03:00"
# Recorded at 11:59:50 in a zone two hours east: 09:59:50 UTC, the first.
clip "$roll/z_clip.MOV" "color=c=blue:s=160x90:r=10" 2 -movflags use_metadata_tags \
  -metadata com.apple.quicktime.creationdate=2024-05-06T11:59:50+0200
# Green then cyan, a second each, with a 1 kHz tone.
clip "$roll/c1.mp4" "color=c=lime:s=160x90:r=10:d=1[g];color=c=cyan:s=160x90:r=10:d=1[c];[g][c]concat=n=2:v=1:a=0" 2 \
  -f lavfi -i "sine=frequency=1000:duration=2:sample_rate=44100" -c:a aac -metadata creation_time=2024-05-06T10:00:30Z
# The Live Photo's moment: magenta, with a tone of its own that must not be heard.
clip "$roll/IMG_0003.MOV" "color=c=magenta:s=160x90:r=10" 2 -f lavfi -i "sine=frequency=1000:duration=2" -c:a aac \
  -movflags use_metadata_tags -metadata com.apple.quicktime.creationdate=2024-05-06T10:02:00+0000 \
  -metadata com.apple.quicktime.content.identifier=0A1B2C3D
# The Motion Photo's: cyan, inside the JPEG after the picture.
clip "$WORK/moment.mp4" "color=c=cyan:s=160x90:r=10" 2 -movflags faststart
exiftool -q -overwrite_original -XMP-GCamera:MicroVideo=1 -XMP-GCamera:MicroVideoVersion=1 \
  -XMP-GCamera:MicroVideoOffset="$(stat -c %s "$WORK/moment.mp4")" "$roll/PXL_0004.MP.jpg"
cat "$WORK/moment.mp4" >>"$roll/PXL_0004.MP.jpg"
head -c 3000 "$roll/c1.mp4" >"$roll/cut.mp4" # its moov is at the end: lost
ffmpeg -v error -y -f lavfi -i "sine=frequency=300:duration=1" "$roll/voice.m4a"
sox -n -r 44100 -c 2 "$WORK/music.wav" synth 10 sine 440 vol 0.5

out="$WORK/out"
mkdir -p "$out"
render() { # FILE [options...]: the roll rendered small, two seconds a picture
  local file="$1"
  shift
  "$KORVELL" --render "$file" --size 160x90 --fps 10 --no-credits --quiet --seconds 2 --music "$WORK/music.wav" "$@" \
    >"$WORK/stdout.txt" 2>&1 || fail "the render of $* failed: $(cat "$WORK/stdout.txt")"
}
colour_in() { # video time: the frame's colour at its middle, as HLL, LHL...
  ffmpeg -v error -y -ss "$2" -i "$1" -frames:v 1 "$WORK/frame.png"
  convert "$WORK/frame.png" -format "%[fx:p{80,45}.r>0.8?1:0] %[fx:p{80,45}.g>0.8?1:0] %[fx:p{80,45}.b>0.8?1:0]" info: \
    | awk '{printf "%s%s%s", $1?"H":"L", $2?"H":"L", $3?"H":"L"}'
}
expect_slides() { # video "time colour"...
  local video="$1" probe got
  shift
  for probe in "$@"; do
    set -- $probe
    got=$(colour_in "$video" "$1")
    [ "$got" = "$2" ] || fail "$(basename "$video") at $1 s shows $got, not $2"
  done
}

render "$out/roll.mp4" "$roll"
said=$(cat "$WORK/stdout.txt")
note "the render said: $said"
[ "$(grep -c . "$WORK/stdout.txt")" = 1 ] || fail "not one line, for the damaged clip"
grep -q 'cut.mp4" is left out: a clip whose headers cannot be read' "$WORK/stdout.txt" || fail "the damaged clip was not named"
grep -q "voice.m4a" "$WORK/stdout.txt" && fail "the sound file was named"
# z_clip (blue), p1 (red), c1 (green then cyan), IMG_0003 (yellow), PXL (white): two seconds each.
expect_slides "$out/roll.mp4" "1.5 LLH" "3.5 HLL" "4.9 LHL" "5.5 LHH" "7.5 HHL" "9.5 HHH"
dur=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/roll.mp4")
awk -v d="$dur" 'BEGIN{exit !(d > 9.8 && d < 10.5)}' || fail "the show lasts $dur s, not 10: a moment played as a slide of its own"

ffmpeg -v error -y -i "$out/roll.mp4" -vn -ac 1 -ar 48000 "$WORK/sound.wav"
full=$(rms "$WORK/sound.wav" 2.2 1 400-480)
under=$(rms "$WORK/sound.wav" 4.6 0.8 400-480)
tone=$(rms "$WORK/sound.wav" 4.5 1 950-1050)
quiet=$(rms "$WORK/sound.wav" 6.6 1 950-1050)
note "music under c1 at $(ratio "$under" "$full") of its level; c1's tone $tone, after it $quiet"
within "$(ratio "$under" "$full")" 0.25 0.35 || fail "the music is not ducked under the clip's sound"
awk -v t="$tone" -v q="$quiet" 'BEGIN{exit !(t > 10 * q && t > 0.005)}' || fail "the clip's tone is not in the sound"

# --new writes the show the folder played: rendered, the same frames.
"$KORVELL" --new "$roll/show.xml" --seconds 2 --music "$WORK/music.wav" >"$WORK/stdout.txt" 2>&1 \
  || fail "--new failed: $(cat "$WORK/stdout.txt")"
grep -q "3 pictures and 2 clips" "$WORK/stdout.txt" || fail "--new counted: $(cat "$WORK/stdout.txt")"
grep -q "<video" "$roll/show.xml" || fail "--new wrote no clip"
grep -q "IMG_0003.MOV" "$roll/show.xml" || fail "--new does not name the Live Photo's clip"
grep -q "<file>IMG_0003.MOV" "$roll/show.xml" && fail "--new plays the Live Photo's clip by default"
"$KORVELL" --check "$roll/show.xml" >"$WORK/check.txt" 2>&1 || fail "the written show does not check clean: $(cat "$WORK/check.txt")"
"$KORVELL" --render "$out/new.mp4" --size 160x90 --fps 10 --no-credits --quiet "$roll/show.xml" >"$WORK/stdout.txt" 2>&1 \
  || fail "the written show did not render: $(cat "$WORK/stdout.txt")"
frames() { ffmpeg -v error -i "$1" -map 0:v -f framemd5 - | grep -v '^#'; }
[ "$(frames "$out/new.mp4")" = "$(frames "$out/roll.mp4")" ] || fail "the written show's frames are not the folder show's"
rm "$roll/show.xml"

# Moments played: IMG_0003's (magenta, muted, the music not ducked) then
# its still; PXL's (cyan) then its still.
render "$out/play.mp4" --live-photos play "$roll"
expect_slides "$out/play.mp4" "3.5 HLL" "7.5 HLH" "9.5 HHL" "11.5 LHH" "13.5 HHH"
ffmpeg -v error -y -i "$out/play.mp4" -vn -ac 1 -ar 48000 "$WORK/play.wav"
ptone=$(rms "$WORK/play.wav" 6.5 1 950-1050)
pmusic=$(rms "$WORK/play.wav" 6.5 1 400-480)
note "under the Live Photo's moment: its tone $ptone, the music at $(ratio "$pmusic" "$full")"
awk -v t="$ptone" -v q="$quiet" 'BEGIN{exit !(t < 2 * q + 0.002)}' || fail "the moment's sound is heard"
within "$(ratio "$pmusic" "$full")" 0.9 1.1 || fail "the music ducked under a muted moment"

# A folder of clips alone.
cp "$roll/c1.mp4" "$roll/z_clip.MOV" "$WORK/clips/"
render "$out/clips.mp4" "$WORK/clips"
expect_slides "$out/clips.mp4" "1.5 LLH" "2.9 LHL" "3.5 LHH"

# Live, from inside the Live Photo's moment.
start_display 1024x768x24
launch_args "$WORK" --windowed --mode 320x180 --no-credits --seconds 2 --live-photos play --start 6.3 "$roll"
win=$(wait_window '^Korvell :: [0-9]')
wait_clock_at_least "$win" 7.0 >/dev/null
capture "$win" live-moment
note "live at $SHOT_FROM to $SHOT_TO s: $(shot_pixel live-moment 160 90)"
near "$(shot_pixel live-moment 160 90)" "255 0 255" 40 || fail "live, the Live Photo's moment is not on screen"
echo "PASS"
