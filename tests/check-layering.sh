#!/usr/bin/env bash
# No folder includes one above it, and korvell-pack, built on the logic
# library alone, loads no platform library. The order, lowest first (a
# folder may include its own and any of a lower rank):
#   base, math, text, sound < image < render < player < credits, script < export < app, tools
set -euo pipefail
build="$1"
src="$2"
cd "$src"
declare -A rank=([base]=0 [math]=0 [text]=1 [sound]=1 [image]=2 [render]=3 [player]=4 [credits]=5 [script]=5
                 [export]=6 [app]=7 [tools]=7)
bad=0
for from in "${!rank[@]}"; do
  [ -d "$from" ] || continue
  while IFS=: read -r file line include; do
    to=$(sed -n 's|.*#include "\([a-z]*\)/.*|\1|p' <<<"$include")
    [ -n "$to" ] && [ -n "${rank[$to]+x}" ] || continue
    [ "$to" = "$from" ] && continue
    if [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
      echo "$file:$line: $from/ includes $to/, which is not below it"
      bad=1
    fi
  done < <(grep -rn '#include "[a-z]*/' "$from" || true)
done
[ "$bad" = 0 ] || exit 1
platform=$(ldd "$build/korvell-pack" | grep -Ei 'SDL|libGL|libGLU|imgui|jpeg|png|IL\.so|freetype|fontconfig|avcodec|avformat' || true)
[ -z "$platform" ] || { echo "korvell-pack loads platform libraries:"; echo "$platform"; exit 1; }
echo "PASS"
