#!/usr/bin/env bash
# The folders below app/ never reach up into it, and korvell-pack, built on
# the logic library alone, loads no platform library.
set -euo pipefail
build="$1"
src="$2"
cd "$src"
up=$(grep -rn '#include "app/' script player render image credits || true)
[ -z "$up" ] || { echo "includes of app/ from below it:"; echo "$up"; exit 1; }
platform=$(ldd "$build/korvell-pack" | grep -Ei 'SDL|libGL|libGLU|imgui|jpeg|png|IL\.so|freetype|fontconfig' || true)
[ -z "$platform" ] || { echo "korvell-pack loads platform libraries:"; echo "$platform"; exit 1; }
echo "PASS"
