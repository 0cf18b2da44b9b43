#!/usr/bin/env bash
# A live start without a screen ends at once with "Window creation failed!"
# and what was tried, whichever way it starts (the dialog, a script windowed
# or full-screen, a folder): on a display that refuses, with none named, or
# with SDL told to use a driver that shows nothing. It never plays to
# nobody. --check and --render need no display. On a working display the
# same start draws.
source "$(dirname "$0")/lib.sh"
mkdir -p "$WORK/folder"
convert -size 64x48 xc:'#c03030' "$WORK/folder/a.jpg"
cat >"$WORK/english.xml" <<XML
<korvell><viewport x="1" y="1"/><imagearea><position x="0" y="0"/><size width="1" height="1"/></imagearea>
<image time="5"><file>folder/a.jpg</file></image><image time="1"/></korvell>
XML

# One start: ENV... -- ARGS...; prints "rc milliseconds", its words in $WORK/said.txt.
start_without() {
  local envs=() t0 t1 rc=0
  while [ "$1" != "--" ]; do envs+=("$1"); shift; done
  shift
  t0=$(date +%s%N)
  (cd "$WORK" && env "${envs[@]}" timeout 20 "$KORVELL" "$@" >"$WORK/said.txt" 2>&1) || rc=$?
  t1=$(date +%s%N)
  echo "$rc $(((t1 - t0) / 1000000))"
}

# A display number nobody serves refuses at once.
refusing=":$((700 + RANDOM % 200))"
while [ -e "/tmp/.X11-unix/X${refusing#:}" ]; do refusing=":$((700 + RANDOM % 200))"; done
for envs in "DISPLAY=$refusing" "-u DISPLAY" "SDL_VIDEODRIVER=offscreen" "SDL_VIDEODRIVER=dummy"; do
  for args in "" "--windowed english.xml" "english.xml" "folder" "--windowed folder/a.jpg"; do
    read -r rc ms < <(start_without -u WAYLAND_DISPLAY $envs -- $args)
    note "$envs korvell $args: exit $rc after $ms ms"
    [ "$rc" = 1 ] || fail "$envs korvell $args: exit $rc, said: $(cat "$WORK/said.txt")"
    [ "$ms" -lt 1000 ] || fail "$envs korvell $args: took $ms ms to fail"
    grep -qx "korvell: Window creation failed!" "$WORK/said.txt" || fail "$envs korvell $args said: $(cat "$WORK/said.txt")"
    case "$envs" in
      DISPLAY=*) want="the X display \"$refusing\" (DISPLAY) cannot be opened" ;;
      -u*) want="neither DISPLAY nor WAYLAND_DISPLAY is set" ;;
      *) want="SDL's video driver \"${envs#*=}\" (SDL_VIDEODRIVER) shows no window" ;;
    esac
    grep -qF "$want" "$WORK/said.txt" || fail "$envs korvell $args does not say '$want': $(cat "$WORK/said.txt")"
  done
done

# Without a display the checker and the render still work.
read -r rc ms < <(start_without -u DISPLAY -- --check english.xml)
[ "$rc" = 0 ] || fail "--check without a display: exit $rc: $(cat "$WORK/said.txt")"
read -r rc ms < <(start_without -u DISPLAY -- --render "$WORK/out.mkv" --size 32x32 --fps 2 --no-credits --quiet english.xml)
[ "$rc" = 0 ] && [ -s "$WORK/out.mkv" ] || fail "--render without a display: exit $rc: $(cat "$WORK/said.txt")"

# On a working display the same start draws its first frame.
start_display
launch_args "$WORK" --windowed english.xml
win=$(wait_window '^Korvell :: [0-9]' 20)
wait_clock_at_least "$win" 0.5 >/dev/null
echo "PASS"
