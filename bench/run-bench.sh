#!/usr/bin/env bash
# make bench: builds with optimisation, measures under a private Xvfb and
# prints one table, each row two figures measured side by side and their
# ratio. The in-process rows come from korvell-bench; the start-up rows time
# the real program against feh and mpv showing the same picture; the render
# rows time korvell --render against the demo's running time and ffmpeg.
set -euo pipefail
build="$1"
root="$(cd "$(dirname "$0")/.." && pwd)"
data="$root/$build/bench-data"
"$root/bench/make-data.sh" "$data" "$root/$build/korvell-pack"
read -r display xvfb < <("$root/scripts/xvfb-start.sh" 1920x1080x24)
export DISPLAY="$display" SDL_AUDIODRIVER=dummy
work="$(mktemp -d /tmp/korvell-bench.XXXXXX)"
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

rows="$work/rows.txt"
# The two face detectors on the same photographs (frontal faces in each).
cmake --build "$root/$build" --target face-detectors >/dev/null
"$root/$build/face-detectors" /usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml "$rows" \
  "$data/photos/astronaut.png:1" "$data/photos/camera.png:0" "$data/photos/chelsea.png:0" "$data/photos/coffee.png:0" \
  "$data/faces/1.jpg:1"
"$root/$build/korvell-bench" "$data" "$rows"
"$root/$build/korvell-bench" "$data" "$rows" --peak

now_ms() { date +%s%3N; }
hwm_mib() { awk '/VmHWM/{printf "%.1f", $2/1024}' "/proc/$1/status" 2>/dev/null || echo 0; }

# Korvell from accepting the dialog ("Run windowed" ticked, then Return) to
# its first frame, whose title is set just before it is drawn.
cp "$data/photo-1920.jpg" "$work/first.jpg"
cat >"$work/english.xml" <<XML
<korvell><viewport x="1" y="1"/><imagearea><position x="0" y="0"/><size width="1" height="1"/></imagearea>
<image time="60"><file>first.jpg</file></image><image time="60"><file>first.jpg</file></image></korvell>
XML
# False (and a note on stderr) once a program has died or 20 s have gone.
waited() {
  if ! kill -0 "$2" 2>/dev/null || [ $(($(now_ms) - $1)) -gt 20000 ]; then
    echo "bench: no window from $3 (pid $2); the run is left out" >&2
    kill "$2" 2>/dev/null || true
    return 1
  fi
}
# FFmpeg's libraries, loaded into korvell as they were before the encoder
# became a module of its own: the start-up rows below run both.
ffmpeg_libs=$(ldd "$root/$build/korvell-encoder.so" | awk '/libav|libsw/ {print $3}' | paste -sd:)
korvell_once() { # [LD_PRELOAD]
  (cd "$work" && LD_PRELOAD="${1:-}" exec "$root/$build/korvell" >/dev/null 2>&1) &
  local pid=$! d w t0 t1
  d=$(xdotool search --sync --name "Korvell :: Setup" | head -1)
  sleep 0.5
  xdotool windowfocus --sync "$d" 2>/dev/null || xdotool windowfocus "$d"
  xdotool mousemove --window "$d" 40 82 click 1
  sleep 0.3
  t0=$(now_ms)
  xdotool key Return
  first_frame "$t0" "$pid"
}
# From t0 to the first frame's title of korvell (pid): "ms MiB" ("0 0"
# when none came); the program is stopped after.
first_frame() {
  local t0="$1" pid="$2" t1
  while ! xdotool search --name '^Korvell :: [0-9]' >/dev/null 2>&1; do
    waited "$t0" "$pid" korvell || { echo "0 0"; return; }
    sleep 0.005
  done
  t1=$(now_ms)
  sleep 0.5
  echo "$((t1 - t0)) $(hwm_mib "$pid")"
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
}
# Korvell started on the script from the command line (no dialog), from
# the start of the process to its first frame's title: everything the
# dialog's time hides (loading the GL, the multisampled context) counts.
korvell_cli_once() {
  local t0
  t0=$(now_ms)
  (cd "$work" && exec "$root/$build/korvell" --windowed --mode 1920x1080 english.xml >/dev/null 2>&1) &
  first_frame "$t0" $!
}
viewer_once() { # command..., window class
  local class="$1"; shift
  local t0 t1 pid
  t0=$(now_ms)
  "$@" >/dev/null 2>&1 &
  pid=$!
  # Polled every 5 ms: xdotool's own --sync waits in half seconds.
  while ! xdotool search --onlyvisible --class "$class" >/dev/null 2>&1; do
    waited "$t0" "$pid" "$class" || { echo "0 0"; return; }
    sleep 0.005
  done
  t1=$(now_ms)
  sleep 0.5
  echo "$((t1 - t0)) $(hwm_mib $pid)"
  kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
}
# A folder show of portraits, from the start of the process to its first
# frame: its faces looked for (the default) or not.
folder_once() { # auto|none
  local t0
  t0=$(now_ms)
  (exec "$root/$build/korvell" --windowed --mode 1920x1080 --no-credits --focus "$1" "$data/faces" >/dev/null 2>&1) &
  first_frame "$t0" $!
}
k=(); f=(); m=(); kf=(); kc=(); fa=(); fn=()
for _ in 1 2 3 4 5; do
  fa+=("$(folder_once auto)")
  fn+=("$(folder_once none)")
  k+=("$(korvell_once)")
  kc+=("$(korvell_cli_once)")
  kf+=("$(korvell_once "$ffmpeg_libs")")
  f+=("$(viewer_once feh feh "$work/first.jpg")")
  m+=("$(viewer_once mpv mpv --no-config --no-audio --image-display-duration=inf "$work/first.jpg")")
done
# The median of the runs that showed a window (a failed run reads 0).
med() {
  local v=(); for x in "$@"; do [ "$x" != 0 ] && v+=("$x"); done
  [ ${#v[@]} -gt 0 ] || { echo 0; return; }
  printf '%s\n' "${v[@]}" | sort -n | sed -n "$(( (${#v[@]} + 1) / 2 ))p"
}
col() { local i="$1"; shift; for x in "$@"; do echo "$x" | cut -d' ' -f"$i"; done; }
kt=$(med $(col 1 "${k[@]}")); ft=$(med $(col 1 "${f[@]}")); mt=$(med $(col 1 "${m[@]}"))
km=$(med $(col 2 "${k[@]}")); fm=$(med $(col 2 "${f[@]}")); mm=$(med $(col 2 "${m[@]}"))
kft=$(med $(col 1 "${kf[@]}")); kfm=$(med $(col 2 "${kf[@]}"))
kct=$(med $(col 1 "${kc[@]}"))
fat=$(med $(col 1 "${fa[@]}")); fnt=$(med $(col 1 "${fn[@]}"))
# korvell --version, twenty times: wall time and resident memory.
version_once() { # [LD_PRELOAD]
  local t0 t1 out
  t0=$(date +%s%N)
  out=$(LD_PRELOAD="${1:-}" /usr/bin/time -f %M "$root/$build/korvell" --version 2>&1 >/dev/null)
  t1=$(date +%s%N)
  echo "$(( (t1 - t0) / 100000 )) $out"
}
v=(); vf=()
for _ in $(seq 1 20); do v+=("$(version_once)"); vf+=("$(version_once "$ffmpeg_libs")"); done
vt=$(med $(col 1 "${v[@]}")); vft=$(med $(col 1 "${vf[@]}")); vm=$(med $(col 2 "${v[@]}")); vfm=$(med $(col 2 "${vf[@]}"))
tenths() { awk -v a="$1" 'BEGIN{printf "%.1f", a / 10}'; }
kib() { awk -v a="$1" 'BEGIN{printf "%.1f", a / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", (b > 0 ? a / b : 0)}'; }
{
  echo "| start to first frame vs feh | korvell: $kt ms | feh: $ft ms | $(ratio "$kt" "$ft") |"
  echo "| start to first frame vs mpv | korvell: $kt ms | mpv: $mt ms | $(ratio "$kt" "$mt") |"
  echo "| start from the command line (process to first frame) vs feh | korvell: $kct ms | feh: $ft ms | $(ratio "$kct" "$ft") |"
  echo "| a folder show of five 12 MP portraits, process to first frame: faces looked for vs not (--focus none, as before) | auto: $fat ms | none: $fnt ms | $(ratio "$fat" "$fnt") |"
  echo "| peak memory showing one 1920 x 1080 picture vs feh | korvell: $km MiB | feh: $fm MiB | $(ratio "$km" "$fm") |"
  echo "| peak memory showing one 1920 x 1080 picture vs mpv | korvell: $km MiB | mpv: $mm MiB | $(ratio "$km" "$mm") |"
  echo "| start to first frame, encoder a module vs FFmpeg loaded at start | korvell: $kt ms | with FFmpeg: $kft ms | $(ratio "$kt" "$kft") |"
  echo "| peak memory showing one picture, encoder a module vs FFmpeg loaded | korvell: $km MiB | with FFmpeg: $kfm MiB | $(ratio "$km" "$kfm") |"
  echo "| korvell --version, encoder a module vs FFmpeg loaded at start | korvell: $(tenths "$vt") ms | with FFmpeg: $(tenths "$vft") ms | $(ratio "$vt" "$vft") |"
  echo "| korvell --version resident memory, the same | korvell: $(kib "$vm") MiB | with FFmpeg: $(kib "$vfm") MiB | $(ratio "$vm" "$vfm") |"
} >>"$rows"

# Rendering the demo to a video (no credits: the ffmpeg pipeline has none)
# against its running time, and against ffmpeg building the same show from
# the same pictures with its own filters, same size, rate and x264 preset.
secs() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.1f", (b - a) / 1000}'; }
render_once() { # extra options...
  local t0 t1
  t0=$(now_ms)
  (cd "$root/demo" && env -u DISPLAY "$root/$build/korvell" --render "$work/demo.mp4" --size 1280x720 --fps 30 \
    --no-credits --quiet "$@" english.xml) >/dev/null 2>&1
  t1=$(now_ms)
  secs "$t0" "$t1"
}
kr=$(render_once)
running=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/demo.mp4" | awk '{printf "%.1f", $1}')
kr8=$(render_once --samples 8)
# x264 alone on the same frames: the render's video decoded to raw YUV in
# memory first, then encoded as the render encodes (preset and CRF).
raw="/dev/shm/korvell-bench-frames.yuv"
ffmpeg -v error -y -i "$work/demo.mp4" -f rawvideo -pix_fmt yuv420p "$raw"
t0=$(now_ms)
ffmpeg -v error -y -f rawvideo -pix_fmt yuv420p -s 1280x720 -r 30 -i "$raw" -c:v libx264 -preset veryfast -crf 20 \
  "$work/x264.mp4" >/dev/null 2>&1
xr=$(secs "$t0" "$(now_ms)")
rm -f "$raw"
t0=$(now_ms)
(cd "$root/demo" && python3 "$root/bench/ffmpeg-show.py" english.xml 1280 720 30 "$work/ffmpeg.mp4" | xargs -0 sh -c '"$0" "$@"') \
  >/dev/null 2>&1
fr=$(secs "$t0" "$(now_ms)")
{
  echo "| render the demo, 1280 x 720 at 30 fps, vs its running time | render: $kr s | running time: $running s | $(ratio "$kr" "$running") |"
  echo "| render the demo as above with 8 samples a pixel (the default before text came from an atlas) | render: $kr8 s | running time: $running s | $(ratio "$kr8" "$running") |"
  echo "| render the demo: no multisampling (the default) vs 8 samples | default: $kr s | 8 samples: $kr8 s | $(ratio "$kr" "$kr8") |"
  echo "| render the demo vs ffmpeg's zoompan and xfade pipeline | korvell: $kr s | ffmpeg: $fr s | $(ratio "$kr" "$fr") |"
  echo "| render with 8 samples vs the ffmpeg pipeline | korvell: $kr8 s | ffmpeg: $fr s | $(ratio "$kr8" "$fr") |"
  echo "| render the demo vs x264 alone encoding the same frames (veryfast, CRF 20) | korvell: $kr s | x264 alone: $xr s | $(ratio "$kr" "$xr") |"
} >>"$rows"

# A show of pictures and clips, rendered, against ffmpeg composing the same
# (each scaled to the frame, joined by crossfades of a second; the same
# size, rate and x264 preset): three photos of 4 s and two clips of 5 s.
mixed="$work/mixed"
mkdir -p "$mixed"
cp "$data/photo-1920.jpg" "$data/photo-1920b.jpg" "$data/photo-1920c.jpg" "$data/clip-1080p30.mp4" "$mixed/"
cat >"$mixed/show.xml" <<XML
<korvell><viewport x="16" y="9"/><imagearea><position x="0" y="0"/><size width="16" height="9"/></imagearea>
<image time="4"><file>photo-1920.jpg</file></image>
<video time="5"><file>clip-1080p30.mp4</file><transition time="1">crossfade</transition><sound volume="0"/></video>
<image time="4"><file>photo-1920b.jpg</file><transition time="1">crossfade</transition></image>
<video time="5"><file>clip-1080p30.mp4</file><trim start="4"/><transition time="1">crossfade</transition><sound volume="0"/></video>
<image time="4"><file>photo-1920c.jpg</file><transition time="1">crossfade</transition></image>
<image time="1"/></korvell>
XML
t0=$(now_ms)
env -u DISPLAY "$root/$build/korvell" --render "$work/mixed.mp4" --size 1280x720 --fps 30 --no-credits --quiet \
  "$mixed/show.xml" >/dev/null 2>&1
km=$(secs "$t0" "$(now_ms)")
scale="scale=1280:720,setsar=1,fps=30,format=yuv420p"
t0=$(now_ms)
ffmpeg -v error -y -loop 1 -t 4 -i "$mixed/photo-1920.jpg" -t 6 -i "$mixed/clip-1080p30.mp4" \
  -loop 1 -t 5 -i "$mixed/photo-1920b.jpg" -ss 4 -t 6 -i "$mixed/clip-1080p30.mp4" -loop 1 -t 5 -i "$mixed/photo-1920c.jpg" \
  -filter_complex "[0:v]$scale[a];[1:v]$scale[b];[2:v]$scale[c];[3:v]$scale[d];[4:v]$scale[e];\
[a][b]xfade=transition=fade:duration=1:offset=3[ab];[ab][c]xfade=transition=fade:duration=1:offset=8[abc];\
[abc][d]xfade=transition=fade:duration=1:offset=12[abcd];[abcd][e]xfade=transition=fade:duration=1:offset=17[v]" \
  -map "[v]" -c:v libx264 -preset veryfast -crf 20 "$work/mixed-ffmpeg.mp4" >/dev/null 2>&1
fm=$(secs "$t0" "$(now_ms)")
echo "| render a show of three photos and two 1080p clips (22 s), 1280 x 720 at 30 fps, vs ffmpeg's scale, concat and xfade composing the same | korvell: $km s | ffmpeg: $fm s | $(ratio "$km" "$fm") |" >>"$rows"
"$root/$build/korvell-bench" "$data" "$rows" --clips

cpu=$(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)
echo "# Korvell benchmarks"
echo
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of $cpu, $(free -g | awk '/Mem:/{print $2}') GiB,"
echo "GL renderer $(sed -n 's/^renderer: //p' "$rows" | head -1) under Xvfb 1920 x 1080."
echo "Each row: the two figures measured side by side in this run (medians), and their ratio (first / second)."
echo
echo "| Row | Measured | Against | Ratio |"
echo "|---|---|---|---|"
grep '^|' "$rows"
