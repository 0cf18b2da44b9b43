#!/usr/bin/env bash
# Plays the whole demo show (setup dialog, show, credits) under valgrind's
# memcheck on a private Xvfb, then checks the report: no invalid read or
# write anywhere, and no leak whose stack passes through Korvell's code.
# Slow (the GL driver runs on the simulated CPU); not part of `make test`.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" valgrind
bin="$root/${1:-build}/korvell"
log="$root/${1:-build}/valgrind-demo.log"
read -r display xvfb < <("$root/scripts/xvfb-start.sh" 1024x768x24)
export DISPLAY="$display" SDL_AUDIODRIVER=dummy
trap 'kill $xvfb 2>/dev/null || true' EXIT
cd "$root/demo"
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect --num-callers=40 \
  --log-file="$log" "$bin" &
pid=$!
for _ in $(seq 1 600); do
  d=$(xdotool search --name "Korvell :: Setup" 2>/dev/null | head -1 || true)
  [ -n "$d" ] && break
  sleep 0.5
done
[ -n "$d" ] || { echo "no setup dialog"; kill $pid; exit 1; }
sleep 2
xdotool windowfocus "$d" 2>/dev/null || true
xdotool key Return
rc=0
wait $pid || rc=$?
echo "korvell ended with $rc under valgrind; report in $log"
grep -E "ERROR SUMMARY|definitely lost|indirectly lost" "$log" | sed 's/^==[0-9]*== //'
invalid=$(grep -cE "Invalid (read|write|free)" "$log" || true)
# Leak records that pass through Korvell's own code.
ours=$(awk '/are (definitely|indirectly) lost/{rec=1; buf=""} rec{buf=buf $0 "\n"} /^==[0-9]+== $/{if(rec && buf ~ /Korvell::|app\/main.cpp/) n++; rec=0} END{print n+0}' "$log")
echo "invalid accesses: $invalid; leaks through Korvell's code: $ours"
[ "$rc" = 0 ] && [ "$invalid" = 0 ] && [ "$ours" = 0 ]
