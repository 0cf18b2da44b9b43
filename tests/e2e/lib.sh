# Helpers for end-to-end tests: each test gets its own Xvfb and working
# folder, starts the real build/korvell there, drives it with xdotool and
# reads the show clock from the window title.
set -euo pipefail

BUILD="$(cd "$1" && pwd)"
SRC="$(cd "$2" && pwd)"
KORVELL="$BUILD/korvell"
WORK="$(mktemp -d /tmp/korvell-e2e.XXXXXX)"
KPID=""
XVFB_PID=""
SHOTS="$BUILD/e2e-shots"
mkdir -p "$SHOTS"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

# A folder's credits pictures (one is enough): a show without any ends
# with its last slide, and most tests play the credits after the show.
add_credits() {
  mkdir -p "$1/credits"
  convert -size 16x16 xc:'#404040' "$1/credits/back.jpg"
}
add_credits "$WORK"

cleanup() {
  [ -n "$KPID" ] && kill "$KPID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -s "$WORK/stdout.txt" ] && { echo "korvell said:" >&2; cat "$WORK/stdout.txt" >&2; }
  exit 1
}
note() { echo "-- $*"; }

start_display() {
  read -r DISPLAY XVFB_PID < <("$SRC/scripts/xvfb-start.sh" "${1:-1024x768x24}")
  export DISPLAY
}

# Starts korvell in $WORK (or the folder given).
launch() {
  local dir="${1:-$WORK}"
  (cd "$dir" && exec "$KORVELL" >"$WORK/stdout.txt" 2>&1) &
  KPID=$!
}

# Starts korvell in a folder with arguments: launch_args DIR ARGS...
launch_args() {
  local dir="$1"
  shift
  (cd "$dir" && exec "$KORVELL" "$@" >"$WORK/stdout.txt" 2>&1) &
  KPID=$!
}

# Counts the pixels of a screenshot's region (WxH+X+Y) brighter than half.
bright_pixels() {
  convert "$SHOTS/$1.png" -crop "$2" -colorspace Gray -threshold 50% -format '%[fx:round(mean*w*h)]' info:
}

# Waits for a mapped window whose name matches; prints its id.
wait_window() {
  local pattern="$1" limit="${2:-45}" id
  for _ in $(seq 1 $((limit * 10))); do
    for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true); do
      echo "$id"
      return 0
    done
    if ! kill -0 "$KPID" 2>/dev/null; then
      local rc=0
      wait "$KPID" 2>/dev/null || rc=$?
      fail "korvell ended (exit $rc) while waiting for '$pattern'"
    fi
    sleep 0.1
  done
  # Where it waits, for the log: every thread's stack.
  command -v gdb >/dev/null && gdb -batch -p "$KPID" -ex "thread apply all bt 12" 2>/dev/null \
    | grep -E '^(Thread|#)' >&2 || true
  fail "no window named '$pattern' within ${limit}s"
}

# The message box is the visible window titled "Korvell" (the main window
# carries that title too until its first frame, but stays hidden).
find_message_box() {
  local id
  for id in $(xwininfo -root -tree 2>/dev/null | awk '/"Korvell": \(/ {print $1}'); do
    xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && { echo "$id"; return 0; }
  done
  return 0
}

wait_message_box() {
  local id
  # A sanitizer build on a busy machine can take a while to show it.
  for _ in $(seq 1 600); do
    id=$(find_message_box)
    if [ -n "$id" ]; then
      sleep 0.3
      echo "$id"
      return 0
    fi
    kill -0 "$KPID" 2>/dev/null || fail "korvell ended without a message box"
    sleep 0.1
  done
  fail "no message box appeared"
}

window_title() { xdotool getwindowname "$1" 2>/dev/null || true; }

# The show clock in the title, e.g. 12.345; empty when the title is not one.
clock_of() { window_title "$1" | sed -n 's/^Korvell :: \([0-9]*\.[0-9][0-9][0-9]\)$/\1/p'; }

wait_clock_at_least() {
  local win="$1" target="$2" limit="${3:-30}" c
  for _ in $(seq 1 $((limit * 20))); do
    c=$(clock_of "$win")
    if [ -n "$c" ] && awk -v a="$c" -v b="$target" 'BEGIN{exit !(a>=b)}'; then echo "$c"; return 0; fi
    kill -0 "$KPID" 2>/dev/null || fail "korvell ended while waiting for clock $target"
    sleep 0.05
  done
  fail "clock did not reach $target (title '$(window_title "$win")')"
}

focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; }

# Setup dialog: Return accepts the defaults (a full-screen show).
accept_dialog() {
  local d
  d=$(wait_window "Korvell :: Setup")
  focus "$d"
  xdotool key Return
}

# Ticks the check boxes named ("windowed", "noise") with clicks at their
# places (2 pixels per dialog unit), or picks "polish" from the keyboard
# (name it first, while the focus is still on Demo), then accepts with
# Return.
accept_dialog_with() {
  local d
  d=$(wait_window "Korvell :: Setup")
  focus "$d"
  sleep 0.3
  for box in "$@"; do
    case "$box" in
      windowed) xdotool mousemove --window "$d" 40 82 click 1 ;;
      noise) xdotool mousemove --window "$d" 172 82 click 1 ;;
      # From the first control (Demo), five tabs reach the language list.
      polish) focus "$d"; for _ in 1 2 3 4 5; do xdotool key Tab; done; xdotool key Down ;;
    esac
    sleep 0.3
  done
  focus "$d"
  xdotool key Return
}

# Waits for korvell to end and sets RC to its exit code. (Not in a
# subshell: only the shell that started korvell can wait for it.)
RC=""
wait_exit() {
  local limit="${1:-30}"
  for _ in $(seq 1 $((limit * 10))); do
    if ! kill -0 "$KPID" 2>/dev/null; then
      RC=0
      wait "$KPID" || RC=$?
      KPID=""
      return 0
    fi
    sleep 0.1
  done
  fail "korvell did not end within ${limit}s"
}

shot() { import -window root "$SHOTS/$1.png"; }

# The colour of one screen pixel as "r g b" (0-255).
pixel() {
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null \
    | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# Whether two "r g b" colours differ by at most tol per channel.
near() {
  awk -v a="$1" -v b="$2" -v t="${3:-8}" 'BEGIN{split(a,x," ");split(b,y," ");
    for(i=1;i<=3;i++){d=x[i]-y[i]; if(d<0)d=-d; if(d>t) exit 1} exit 0}'
}

# Takes a screenshot between two readings of the clock: sets SHOT_FROM and
# SHOT_TO (seconds) and writes $SHOTS/$1.png.
capture() {
  local win="$1" name="$2" first now=""
  # The title is set just before its frame is drawn, so once it changes
  # the frame of the first reading is on the screen (or a later one). A
  # paused show never changes it: then a frame up to SHOT_LAG old is
  # allowed for.
  first=$(clock_of "$win")
  for _ in $(seq 1 100); do
    now=$(clock_of "$win")
    [ "$now" != "$first" ] && break
    sleep 0.02
  done
  import -window root "$SHOTS/$name.png"
  SHOT_TO=$(clock_of "$win")
  if [ "$now" != "$first" ]; then
    SHOT_FROM=$first
  else
    SHOT_FROM=$(awk -v a="$first" -v lag="${SHOT_LAG:-0.25}" 'BEGIN{a-=lag; if(a<0)a=0; printf "%.3f", a}')
  fi
}

# "r g b" of a pixel of a screenshot.
shot_pixel() {
  convert "$SHOTS/$1.png" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null \
    | sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# Whether value lies within [lo - tol, hi + tol].
between() { awk -v v="$1" -v lo="$2" -v hi="$3" -v t="${4:-10}" 'BEGIN{exit !(v >= lo - t && v <= hi + t)}'; }

# sox's measures of a span (start, length) of a sound, in a band or all of it.
measure() { # file start length what [band]
  sox "$1" -n trim "$2" "$3" ${5:+sinc $5} stat 2>&1 | awk -F: -v w="$4" '$1 ~ w {gsub(/ /, "", $2); print $2}'
}
pitch() { measure "$1" "$2" "$3" "Rough"; }
rms() { measure "$1" "$2" "$3" "RMS +amplitude" "$4"; } # file start length [band]
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", a / b}'; }
within() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN{exit !(v >= lo && v <= hi)}'; }
