#!/usr/bin/env bash
# The mistakes people make at a terminal, each a few lines: the user's
# files' checksums before and after, the exit code, and a time bound (a
# hang fails here rather than stall the run).
source "$(dirname "$0")/lib.sh"
unset DISPLAY
show="$WORK/show"
mkdir -p "$show/pictures"
add_credits "$show"
for c in red:'#ff0000' blue:'#0000ff'; do
  convert -size 64x48 "xc:${c#*:}" -type TrueColor "$show/pictures/${c%%:*}.jpg"
done
cp "$show/pictures/red.jpg" "$show/clip.mp4" # a picture, whatever its name says
ffmpeg -v error -f lavfi -i sine=frequency=440:duration=2 -c:a libopus "$show/track.webm"
sox -n -r 44100 -c 2 "$show/track.ogg" synth 2 sine 440 vol 0.5
script() { # script FILE [music] [first picture]
  cat >"$show/$1" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<korvell>
  <viewport x="10" y="10"/>
  <imagearea><position x="0" y="0"/><size width="10" height="10"/></imagearea>
  <music>${2:-track.webm}</music>
  <image time="${4:-1}"><file>${3:-pictures/red.jpg}</file><line1>Hi</line1></image>
  <image time="1"><file>clip.mp4</file></image>
  <image time="1"/>
</korvell>
XML
}
script english.xml
sums() { (cd "$show" && find . -type f ! -name xmlparse.log -print0 | sort -z | xargs -0 md5sum); }
before=$(sums)
unchanged() { [ "$(sums)" = "$before" ] || fail "$1: the user's files changed: $(diff <(echo "$before") <(sums))"; }
# Runs korvell with a time bound; sets RC, output in $WORK/err.txt.
k() { RC=0; (cd "$show" && timeout 60 "$KORVELL" "$@") >"$WORK/err.txt" 2>&1 || RC=$?; }
says() { grep -qF -- "$1" "$WORK/err.txt" || fail "expected '$1', got: $(cat "$WORK/err.txt")"; }
small=(--size 32x32 --fps 5 --no-credits --quiet)

note "1. --srt with its name forgotten takes the script as the SubRip file"
k --render demo.mp4 --srt english.xml
[ "$RC" = 2 ] || fail "exit $RC"; says "--srt takes a file name ending in .srt, not 'english.xml'"
unchanged "--srt english.xml"; [ ! -e "$show/demo.mp4" ] || fail "a video was written"

note "2. the output is the show's music, a picture of it, the script through a link"
k --render track.webm "${small[@]}" english.xml
[ "$RC" = 2 ] || fail "exit $RC for the music"; says "would overwrite the show's music \"track.webm\""
k --render clip.mp4 --force "${small[@]}" english.xml
[ "$RC" = 2 ] || fail "exit $RC for a picture"; says "would overwrite the picture \"clip.mp4\""
ln -s english.xml "$show/out.mkv"
k --render out.mkv --force "${small[@]}" english.xml
[ "$RC" = 2 ] || fail "exit $RC for the script"; says "would overwrite the script"
rm "$show/out.mkv"
unchanged "outputs that are inputs"
ls "$show" | grep -q partial && fail "a partial file is left: $(ls "$show")"

note "3. korvell-pack: an output that is its archive, a failed write, a forgotten archive name"
pack="$BUILD/korvell-pack"
convert -size 256x256 xc: +noise Random "$WORK/noise.jpg"
(cd "$show" && "$pack" create show.kva pictures/red.jpg pictures/blue.jpg "noise.jpg=$WORK/noise.jpg" >/dev/null)
mkfifo "$show/fifo.jpg"
before=$(sums)
(cd "$show" && timeout 20 "$pack" extract show.kva pictures/red.jpg show.kva) >"$WORK/err.txt" 2>&1 && fail "extract over its archive"
says "is the archive"
(cd "$show" && timeout 20 "$pack" extract show.kva pictures/red.jpg fifo.jpg) >"$WORK/err.txt" 2>&1 && fail "extract into a FIFO"
[ -p "$show/fifo.jpg" ] || fail "the FIFO is gone"
cp "$show/clip.mp4" "$show/old.jpg"; before=$(sums)
# A write that fails half way (a file-size limit): the older file stays.
(cd "$show" && trap '' XFSZ && ulimit -f 16 && timeout 20 "$pack" extract show.kva noise.jpg old.jpg) \
  >"$WORK/err.txt" 2>&1 && fail "a failed write reported success"
says "failed: File too large"
(cd "$show" && timeout 20 "$pack" create pictures/*.jpg) >"$WORK/err.txt" 2>&1 && fail "a picture taken for the archive"
says "is a picture, not an archive"
unchanged "korvell-pack"
ls "$show" "$show/pictures" | grep -q partial && fail "a partial file is left"
rm "$show/fifo.jpg" "$show/old.jpg"; before=$(sums)

note "4. xmlparse.log as a link, a link to nothing, a FIFO: written through none, never waited on"
echo "my notes" >"$WORK/precious.txt"
for kind in link dangling fifo; do
  rm -f "$show/xmlparse.log"
  case $kind in
    link) ln -s "$WORK/precious.txt" "$show/xmlparse.log" ;;
    dangling) ln -s "$WORK/created.txt" "$show/xmlparse.log" ;;
    fifo) mkfifo "$show/xmlparse.log" ;;
  esac
  k --render "$WORK/$kind.mkv" "${small[@]}" english.xml
  [ "$RC" = 0 ] || fail "$kind log: exit $RC: $(cat "$WORK/err.txt")"
  says "cannot write xmlparse.log"
done
[ "$(cat "$WORK/precious.txt")" = "my notes" ] || fail "the link's target was written"
[ ! -e "$WORK/created.txt" ] || fail "a file was made where the link points"
# A script that does not parse says why itself when there is no log.
echo "<korvell><image>" >"$show/broken.xml"
k --render "$WORK/broken.mkv" "${small[@]}" broken.xml
[ "$RC" = 1 ] || fail "exit $RC for a broken script"
says "broken.xml, line 2: no element found"
grep -q "Check xmlparse.log" "$WORK/err.txt" && fail "points at a log that was not written"
rm -f "$show/xmlparse.log" "$show/broken.xml"; before=$(sums)

note "5. two renders to the same file at once"
(cd "$show" && "$KORVELL" --render "$WORK/same.mkv" "${small[@]}" english.xml) >"$WORK/r1.txt" 2>&1 &
p1=$!
(cd "$show" && "$KORVELL" --render "$WORK/same.mkv" "${small[@]}" english.xml) >"$WORK/r2.txt" 2>&1 &
p2=$!
wait $p1 || fail "the first render: $(cat "$WORK/r1.txt")"
wait $p2 || fail "the second render: $(cat "$WORK/r2.txt")"
frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$WORK/same.mkv")
[ "$frames" -gt 0 ] || fail "the video has no readable stream"
ls "$WORK" | grep -q partial && fail "a partial file is left: $(ls "$WORK")"

note "6. negative and endless slide times: --check warns, the render ends"
script negative.xml track.ogg pictures/red.jpg -5
k --check negative.xml
[ "$RC" = 1 ] || fail "--check exit $RC"; says 'time="-5" is negative'
k --render "$WORK/negative.mkv" "${small[@]}" negative.xml
[ "$RC" = 0 ] || fail "negative render: exit $RC"
script huge.xml track.webm pictures/red.jpg 1e30
(cd "$show" && exec "$KORVELL" --render "$WORK/huge.mkv" --size 32x32 --fps 1 --no-credits huge.xml) >"$WORK/err.txt" 2>&1 &
pid=$!
for _ in $(seq 1 100); do grep -q "24 hours" "$WORK/err.txt" && break; sleep 0.1; done
kill $pid; wait $pid || true
says "the show lasts longer than 24 hours: the video ends at 24:00:00"
rm -f "$show"/negative.xml "$show"/huge.xml; before=$(sums)

note "7. a FIFO named as a picture, the music, the archive"
mkfifo "$show/pipe"
script fifo-picture.xml track.webm pipe
script fifo-music.xml pipe
sed 's|<music>|<datafile>pipe</datafile><music>|' "$show/english.xml" >"$show/fifo-archive.xml"
for s in fifo-picture fifo-music fifo-archive; do
  k --check $s.xml
  [ "$RC" != 124 ] || fail "--check $s hangs"
  k --render "$WORK/$s.mkv" "${small[@]}" $s.xml
  # Written either way; without its music the render says so and fails.
  want=0; [ $s = fifo-music ] && want=1
  [ "$RC" = $want ] || fail "--render $s: exit $RC: $(cat "$WORK/err.txt")"
  [ -f "$WORK/$s.mkv" ] || fail "--render $s wrote no video"
  [ $s = fifo-music ] && says 'the music "pipe" cannot be read: not a file'
done
rm -f "$WORK"/fifo-*.mkv
k --check fifo-picture.xml; says 'picture "pipe": not a file'
k --check fifo-music.xml; says 'music "pipe": not a file'

note "8. live: a FIFO picture and /dev/zero as the music; Escape still answers"
script zero.xml /dev/zero pipe 30
start_display
launch_args "$show" --windowed zero.xml
win=$(wait_window '^Korvell :: [0-9]')
sleep 1
rss=$(awk '/VmRSS/ {print $2}' /proc/$KPID/status)
note "resident memory while playing: $rss kB"
[ "$rss" -lt 400000 ] || fail "the music was read into memory ($rss kB)"
focus "$win"
xdotool key Escape
sleep 0.5
xdotool key Escape
wait_exit 20
[ "$RC" = 0 ] || fail "exit $RC after Escape"
rm -f "$show"/fifo-*.xml "$show/zero.xml" "$show/pipe" "$show/xmlparse.log"; before=$(sums)

note "9. SIGHUP, Ctrl+C with --srt: every file the render made goes"
for sig in HUP INT; do
  (cd "$show" && exec "$KORVELL" --render "$WORK/cut.webm" --size 640x480 --srt "$WORK/cut.srt" english.xml) >"$WORK/err.txt" 2>&1 &
  pid=$!
  for _ in $(seq 1 100); do ls "$WORK" | grep -q 'cut.webm.partial' && break; sleep 0.05; done
  sleep 0.5
  kill -$sig $pid
  rc=0; wait $pid || rc=$?
  [ "$rc" -gt 128 ] || fail "exit $rc after SIG$sig"
  [ -z "$(ls "$WORK" | grep '^cut')" ] || fail "left after SIG$sig: $(ls "$WORK")"
done

note "10. an existing output: a video of ours is replaced (and said so), anything else only with --force"
k --render "$WORK/same.mkv" --size 32x32 --fps 5 --no-credits english.xml
[ "$RC" = 0 ] || fail "replacing a video: exit $RC"; says "replacing $WORK/same.mkv"
echo "my notes" >"$WORK/notes.mkv"
k --render "$WORK/notes.mkv" "${small[@]}" english.xml
[ "$RC" = 2 ] || fail "exit $RC for a text file"; says "not replaced (--force replaces it)"
[ "$(cat "$WORK/notes.mkv")" = "my notes" ] || fail "the notes were replaced"
k --render "$WORK/notes.mkv" --force "${small[@]}" english.xml
[ "$RC" = 0 ] || fail "--force: exit $RC"
mkdir "$WORK/folder.mp4"
SECONDS=0
k --render "$WORK/folder.mp4" english.xml
[ "$RC" = 2 ] || fail "exit $RC for a folder"; says "is a folder"
[ "$SECONDS" -lt 5 ] || fail "the folder was found only after ${SECONDS}s"
k --render "$WORK/no/such/folder/x.mp4" english.xml
[ "$RC" = 1 ] || fail "exit $RC for a missing folder"; says "there is no folder"
unchanged "outputs"
echo "PASS"
