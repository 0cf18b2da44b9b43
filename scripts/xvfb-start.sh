#!/usr/bin/env bash
# Starts a private Xvfb on the first free display number and prints
# "DISPLAY PID". Source-free on purpose: callers decide how long it lives.
set -euo pipefail
size="${1:-1024x768x24}"
for n in $(seq 91 140); do
  [ -e "/tmp/.X${n}-lock" ] && continue
  Xvfb ":$n" -screen 0 "$size" -nolisten tcp >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 50); do
    if xdpyinfo -display ":$n" >/dev/null 2>&1; then echo ":$n $pid"; exit 0; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
done
echo "could not start Xvfb" >&2
exit 1
