#!/usr/bin/env bash
# Makes the demo show's pictures, credits pictures, music and archive.
# Everything is drawn here (ImageMagick, sox), so the show carries no
# borrowed material; the results are small enough to commit.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p pictures credits
FONT=Liberation-Sans
BOLD=Liberation-Sans-Bold

# name width height gradient-from gradient-to accent caption
slides=(
  "01-dawn 1024 768 #1d2b64 #f8cdda #ffd166 Dawn"
  "02-harbour 800 600 #0f2027 #2c5364 #f4a261 Harbour"
  "03-meadow 1200 800 #134e5e #71b280 #e9c46a Meadow"
  "04-dunes 640 480 #c06c84 #f8b195 #355c7d Dunes"
  "05-tower 600 900 #232526 #414345 #e76f51 Tower"
  "06-square 900 900 #3a1c71 #ffaf7b #d76d77 Square"
  "07-wide 1280 544 #000428 #004e92 #8ecae6 Panorama"
  "08-small 320 240 #56ab2f #a8e063 #264653 Small"
  "09-lake 1024 683 #2193b0 #6dd5ed #023047 Lake"
  "10-large 2048 1536 #42275a #734b6d #fcbf49 Large"
  "11-ember 700 525 #cb2d3e #ef473a #ffe8d6 Ember"
  "12-night 1000 750 #0f0c29 #302b63 #e0e1dd Night"
)
for s in "${slides[@]}"; do
  read -r name w h c1 c2 accent caption <<<"$s"
  r=$(( (w < h ? w : h) / 5 ))
  pt=$(( (w < h ? w : h) / 9 ))
  convert -size "${w}x${h}" "gradient:${c1}-${c2}" \
    -fill "${accent}" -draw "circle $((w*3/4)),$((h/3)) $((w*3/4+r)),$((h/3))" \
    -fill none -stroke "${accent}" -strokewidth $(( r/12 + 1 )) \
    -draw "rectangle $((w/12)),$((h/12)) $((w*11/12)),$((h*11/12))" \
    -stroke none -fill white -font "$BOLD" -pointsize "$pt" -gravity southwest \
    -annotate +$((w/8))+$((h/6)) "$caption" \
    -fill "#ffffffb0" -font "$FONT" -pointsize $((pt/3)) -annotate +$((w/8))+$((h/8)) "${w} x ${h}" \
    -quality 78 -sampling-factor 2x2 "pictures/${name}.jpg"
done

# Credits: a background, a title and five pages, laid out for a 10 x 10 view.
convert -size 1024x1024 radial-gradient:"#2b2d42"-"#0b0c10" \
  -fill "#ffffff10" -draw "circle 300,700 300,980" -quality 80 credits/back.jpg
convert -size 500x300 xc:"#11131a" -fill "#edf2f4" -font "$BOLD" -pointsize 92 -gravity center \
  -annotate +0-20 "KORVELL" -fill "#8d99ae" -font "$FONT" -pointsize 30 -annotate +0+70 "a slideshow engine" \
  -quality 85 credits/title.jpg
pages=(
  "Pictures|drawn by ImageMagick|for this demo"
  "Music|synthesised with sox|a chord that drifts"
  "Engine|Korvell|SDL2, OpenGL, FreeType"
  "Subtitles|typed in Liberation Sans|English and Polish"
  "Thank you|for watching|Escape ends the show"
)
i=1
for p in "${pages[@]}"; do
  IFS='|' read -r a b c <<<"$p"
  convert -size 500x300 xc:"#11131a" -fill "#ef233c" -font "$BOLD" -pointsize 54 -gravity north \
    -annotate +0+40 "$a" -fill "#edf2f4" -font "$FONT" -pointsize 34 -annotate +0+140 "$b" \
    -fill "#8d99ae" -pointsize 28 -annotate +0+200 "$c" -quality 85 "credits/cr${i}.jpg"
  i=$((i + 1))
done

# Music: a soft, slowly beating chord as long as the show (72 s).
sox -n -r 22050 -c 2 music.ogg synth 72 sine 220 sine 277.2 sine 329.6 \
  tremolo 0.2 40 fade q 3 72 6 vol 0.25

# The archive variant holds every picture, the credits under their
# backslash names, as the player looks them up.
pack=../build/korvell-pack
if [ -x "$pack" ]; then
  args=()
  for f in pictures/*.jpg; do args+=("$f"); done
  for f in credits/*.jpg; do args+=("credits\\$(basename "$f")=$f"); done
  "$pack" create demo.kva "${args[@]}"
fi
# The scripts that play all of it.
python3 make-scripts.py
