# A small test show in $WORK: solid-colour pictures whose colours tests
# can look for on the screen.
make_picture() { convert -size "${3:-64x48}" "xc:$2" -type TrueColor -quality 95 "$WORK/$1"; }

# write_show VIEW_AREA SLIDES... ; each slide "file time transition ttime"
write_show() {
  local file="$WORK/english.xml"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<korvell>'
    echo '  <viewport x="10" y="10"/>'
    echo '  <imagearea><position x="0" y="0"/><size width="10" height="10"/></imagearea>'
    echo '  <global><background r="0" g="0" b="1"/></global>'
    for s in "$@"; do
      read -r f t tr tt <<<"$s"
      echo "  <image time=\"$t\">"
      [ "$f" != "-" ] && echo "    <file>$f</file>"
      echo "    <transition time=\"$tt\">$tr</transition>"
      echo '  </image>'
    done
    echo '</korvell>'
  } >"$file"
}

# A long windowed show of one colour, started and past its first second;
# sets WIN.
start_long_show() {
  make_picture one.jpg "$1"
  write_show "one.jpg 60 none 0" "one.jpg 60 none 0" "one.jpg 1 none 0"
  launch
  accept_dialog_with windowed
  WIN=$(wait_window '^Korvell :: [0-9]')
  wait_clock_at_least "$WIN" 1.0 >/dev/null
}
