#!/usr/bin/env bash
# Starts a private Xvfb and prints "DISPLAY PID". Xvfb picks a free display
# number itself (-displayfd), so runs started side by side never share one.
# It serves only the server's built-in fonts, as a desktop without X core
# fonts does: nothing Korvell shows may depend on them. It never resets:
# by default Xvfb resets whenever its last client leaves, and refuses a
# connection that arrives meanwhile.
set -euo pipefail
size="${1:-1024x768x24}"
fifo="$(mktemp -u /tmp/korvell-xvfb.XXXXXX)"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset -fp built-ins 3>"$fifo" >/dev/null 2>&1 &
pid=$!
number=""
read -r -t 20 number <"$fifo" || true
rm -f "$fifo"
if [ -z "$number" ] || ! kill -0 "$pid" 2>/dev/null; then
  kill "$pid" 2>/dev/null || true
  echo "could not start Xvfb" >&2
  exit 1
fi
for _ in $(seq 1 50); do
  xdpyinfo -display ":$number" >/dev/null 2>&1 && { echo ":$number $pid"; exit 0; }
  sleep 0.1
done
kill "$pid" 2>/dev/null || true
echo "Xvfb :$number does not answer" >&2
exit 1
