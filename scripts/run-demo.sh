#!/usr/bin/env bash
# Plays the bundled demo show. Without a display it plays the show under a
# private Xvfb, accepts the setup dialog with Return, and leaves
# screenshots in build/demo-shots so the run can still be looked at.
set -euo pipefail
build="${1:-build}"
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/$build/korvell"
cd "$root/demo"
[ -f english.xml ] || "$root/demo/make-demo.sh"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$bin"
fi
exec "$root/scripts/headless-demo.sh" "$bin" "$root/$build/demo-shots"
