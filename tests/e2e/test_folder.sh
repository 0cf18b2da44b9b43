#!/usr/bin/env bash
# Shows of a folder: three pictures whose names and dates disagree play in
# the order taken (Right between); one picture opens its folder at
# itself; --new writes a script that checks clean and plays the same
# slides, and a second --new leaves it as it was; damaged pictures are
# named, other files and subfolders skipped; a show without credits
# pictures ends after its last slide.
source "$(dirname "$0")/lib.sh"
DATE="$BUILD/kv-photo-date"
trip="$WORK/trip"
mkdir -p "$trip/sub"
picture() { convert -size 640x480 "xc:$2" -type TrueColor -quality 95 "$trip/$1"; }
# Taken c (blue), then a (red), then b (green).
picture a.jpg '#ff0000'
picture b.jpg '#00ff00'
picture c.jpg '#0000ff'
"$DATE" "$trip/a.jpg" "2024:06:01 10:00:00" "+02:00"
"$DATE" "$trip/b.jpg" "2024:06:01 10:30:00" "+02:00"
"$DATE" "$trip/c.jpg" "2024:06:01 09:00:00" "+02:00"
convert -size 640x480 xc:'#ffff00' -quality 95 "$trip/sub/d.jpg"
printf 'notes, not a picture\n' >"$trip/notes.txt"
printf '\377\330\377\340 and nothing of a picture after' >"$trip/broken.jpg"
start_display 1024x768x24

# The name of a colour probed in the middle of the window.
name_of() {
  local c
  for c in "255 0 0:red" "0 255 0:green" "0 0 255:blue" "255 255 0:yellow"; do
    near "$1" "${c%%:*}" 24 && { echo "${c##*:}"; return; }
  done
  echo "other($1)"
}
SHOWN=0
slides() { # WINDOW COUNT: the names of COUNT slides, Right between
  local win="$1" n="$2" i px seen=""
  wait_clock_at_least "$win" 1.6 >/dev/null
  for i in $(seq 1 "$n"); do
    SHOWN=$((SHOWN + 1))
    capture "$win" "folder-$SHOWN"
    px=$(shot_pixel "folder-$SHOWN" 320 240)
    seen="$seen $(name_of "$px")"
    [ "$i" -lt "$n" ] || break
    focus "$win"
    xdotool key Right
    # The next slide's crossfade is over a second later.
    sleep 1.8
  done
  echo "${seen# }"
}

launch_args "$WORK" --windowed --seconds 30 "$trip"
win=$(wait_window '^Korvell :: [0-9]')
order=$(slides "$win" 3)
note "the folder plays: $order"
[ "$order" = "blue red green" ] || fail "the folder played $order, not blue red green (the order taken)"
grep -q 'broken.jpg" is left out: a damaged JPEG picture' "$WORK/stdout.txt" || fail "the damaged picture was not named"
grep -q notes.txt "$WORK/stdout.txt" && fail "a text file was named: $(cat "$WORK/stdout.txt")"
[ -e "$trip/xmlparse.log" ] && fail "a folder show wrote xmlparse.log into the pictures' folder"
# No credits: Escape ends the show.
focus "$win"
xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "Escape ended the folder show with $RC"

launch_args "$WORK" --windowed --seconds 30 "$trip/b.jpg"
win=$(wait_window '^Korvell :: [0-9]')
order=$(slides "$win" 3)
note "one picture opens its folder at itself: $order"
[ "$order" = "green blue red" ] || fail "b.jpg opened $order, not green blue red"
kill "$KPID"; wait "$KPID" 2>/dev/null || true; KPID=""

# --new: the pictures of the script's folder, paths relative to it.
(cd "$WORK" && "$KORVELL" --new trip/show.xml --seconds 30) >"$WORK/new.txt" 2>&1 || fail "--new: $(cat "$WORK/new.txt")"
grep -q '<file>c.jpg</file>' "$trip/show.xml" || fail "the script does not name c.jpg by its own folder: $(cat "$trip/show.xml")"
grep -q '<!-- taken 2024-06-01 09:00:00 +02:00 -->' "$trip/show.xml" || fail "no date comment: $(cat "$trip/show.xml")"
(cd "$trip" && "$KORVELL" --check show.xml) >"$WORK/check.txt" 2>&1 || fail "--check of the written script: $(cat "$WORK/check.txt")"
note "--check: $(cat "$WORK/check.txt")"
cp "$trip/show.xml" "$WORK/written.xml"
rc=0
(cd "$WORK" && "$KORVELL" --new trip/show.xml "$trip/a.jpg") >"$WORK/again.txt" 2>&1 || rc=$?
[ "$rc" = 1 ] || fail "a second --new exited $rc, not 1"
grep -q "exists: nothing was written" "$WORK/again.txt" || fail "a second --new said: $(cat "$WORK/again.txt")"
cmp -s "$trip/show.xml" "$WORK/written.xml" || fail "a second --new changed the script"
launch_args "$trip" --windowed show.xml
win=$(wait_window '^Korvell :: [0-9]')
order=$(slides "$win" 3)
note "the written script plays: $order"
[ "$order" = "blue red green" ] || fail "the script played $order, not the folder's blue red green"
kill "$KPID"; wait "$KPID" 2>/dev/null || true; KPID=""

# Rendered, the folder is the same show: slide n at 2 + 3n seconds.
"$KORVELL" --render "$WORK/trip.mp4" --size 320x240 --fps 5 --seconds 3 --quiet "$trip" >"$WORK/render.txt" 2>&1 \
  || fail "render of the folder: $(cat "$WORK/render.txt")"
rendered=""
for t in 2 5 8; do
  ffmpeg -v error -ss "$t" -i "$WORK/trip.mp4" -frames:v 1 -vf format=rgb24 "$WORK/frame-$t.png"
  rendered="$rendered $(name_of "$(convert "$WORK/frame-$t.png" -crop 1x1+160+120 -depth 8 txt:- \
    | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p')")"
done
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$WORK/trip.mp4")
note "rendered: $rendered, $duration s"
[ "$rendered" = " blue red green" ] || fail "the folder rendered$rendered"
awk -v d="$duration" 'BEGIN{exit !(d > 8.5 && d < 10)}' || fail "the folder's video lasts $duration s: not 9 (no credits)"

# -r: the subfolder's picture too; 1 s each and no credits: the show ends
# after its last slide (the credits would hold it forty seconds more).
start=$(date +%s)
launch_args "$WORK" --windowed -r --seconds 1 "$trip"
wait_window '^Korvell :: [0-9]' >/dev/null
wait_exit 30
elapsed=$(($(date +%s) - start))
note "-r, 4 pictures of 1 s: ended after ${elapsed}s with $RC"
[ "$RC" = 0 ] || fail "the folder show exited $RC"
[ "$elapsed" -lt 25 ] || fail "the folder show ran ${elapsed}s: the credits were played"

# A script whose folder has no credits pictures ends after its last slide.
cp "$WORK/written.xml" "$trip/short.xml"
sed -i 's/time="30"/time="1"/' "$trip/short.xml"
start=$(date +%s)
launch_args "$trip" --windowed short.xml
wait_window '^Korvell :: [0-9]' >/dev/null
wait_exit 30
elapsed=$(($(date +%s) - start))
note "a script without credits pictures ended after ${elapsed}s with $RC"
[ "$RC" = 0 ] && [ "$elapsed" -lt 25 ] || fail "the script without credits pictures ran ${elapsed}s (exit $RC)"
echo "PASS"
