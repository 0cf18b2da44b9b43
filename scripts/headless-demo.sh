#!/usr/bin/env bash
# Plays the demo show where there is no display: a private Xvfb, the setup
# dialog accepted with Return, screenshots at set show and credits times,
# and a contact sheet of them; then renders the demo to demo.mp4 (640 x 360)
# beside them. Ends when the program ends by itself.
set -euo pipefail
bin="$1"
out="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$out"
rm -f "$out"/*.png
read -r display xvfb < <("$root/scripts/xvfb-start.sh" 1024x768x24)
export DISPLAY="$display"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
"$bin" &
pid=$!
trap 'kill $pid 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT

find_window() { # pattern, seconds
  for _ in $(seq 1 $(($2 * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

echo "Korvell is playing the demo under a private X display ($DISPLAY)."
dialog=$(find_window "Korvell :: Setup" 20) || { echo "the setup dialog did not appear"; exit 1; }
sleep 0.5
import -window root "$out/00-setup.png"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key Return
win=$(find_window '^Korvell :: [0-9]' 20) || { echo "the show did not start"; exit 1; }

shows=(1.5 4.2 7 12.5 15.5 19 24 29 34 40 45 50 56 60 66)
credits=(0.5 4 9 14 19 27 38)
phase=show
i=0
n=1
last=0
while kill -0 "$pid" 2>/dev/null; do
  t=$(xdotool getwindowname "$win" 2>/dev/null | sed -n 's/^Korvell :: //p')
  [ -z "$t" ] && { sleep 0.1; continue; }
  if awk -v a="$t" -v b="$last" 'BEGIN{exit !(a + 5 < b)}'; then phase=credits; i=0; fi
  last=$t
  if [ "$phase" = show ]; then list=("${shows[@]}"); else list=("${credits[@]}"); fi
  if [ "$i" -lt "${#list[@]}" ] && awk -v a="$t" -v b="${list[$i]}" 'BEGIN{exit !(a >= b)}'; then
    name=$(printf '%02d-%s-%s' "$n" "$phase" "$t")
    import -window root "$out/$name.png"
    echo "  $phase at ${t}s: $out/$name.png"
    i=$((i + 1))
    n=$((n + 1))
  fi
  sleep 0.05
done
rc=0
wait "$pid" || rc=$?
montage "$out"/[0-9]*.png -geometry 320x240+4+4 -tile 5x -background '#202020' \
  -fill white -label '%t' "$out/contact-sheet.png" 2>/dev/null || true
echo "Korvell ended with exit code $rc. Screenshots and contact-sheet.png are in $out"
[ "$rc" = 0 ] || exit "$rc"
echo "Rendering the demo to $out/demo.mp4 (640 x 360, 30 fps)..."
DISPLAY= "$bin" --render "$out/demo.mp4" --size 640x360 english.xml
echo "Wrote $out/demo.mp4"
