#!/usr/bin/env bash
# A burst of pointer motion (a fast mouse over the window) must not delay
# the keys behind it: Escape still reaches the show within a few frames.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
start_long_show red
win=$WIN
focus "$win"
moves=()
for i in $(seq 1 750); do moves+=(mousemove --window "$win" 100 100 mousemove --window "$win" 300 200); done
xdotool "${moves[@]}"
start=$(date +%s.%N)
xdotool key Escape
# The credits clock starts again from zero.
for _ in $(seq 1 400); do
  c=$(clock_of "$win")
  [ -n "$c" ] && awk -v a="$c" 'BEGIN{exit !(a < 0.9)}' && break
  kill -0 "$KPID" 2>/dev/null || fail "korvell ended"
  sleep 0.05
done
lag=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.2f", b - a}')
note "Escape after 1500 pointer moves reached the show after ${lag}s"
awk -v l="$lag" 'BEGIN{exit !(l < 2.0)}' || fail "Escape waited ${lag}s behind the pointer motion"
focus "$win"; xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC"
echo "PASS"
