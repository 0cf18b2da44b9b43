#!/usr/bin/env bash
# "Die" (Escape) in the setup dialog ends with 1 and no message; a missing
# script ends with the parse-failure message box and 1, acknowledged by
# Return or by its close box. The box is Korvell's own: it shows on an X
# server with no core fonts and without zenity.
source "$(dirname "$0")/lib.sh"
start_display

launch
d=$(wait_window "Korvell :: Setup")
focus "$d"
xdotool key Escape
# A message box would hold the program until acknowledged; ending on its
# own shows there was none.
wait_exit 10
[ "$RC" = 1 ] || fail "exit code $RC after Die"
[ ! -e "$WORK/xmlparse.log" ] || fail "the parser ran after Die"

launch
accept_dialog_with windowed
box=$(wait_message_box)
note "message box $box"
shot missing-script
read -r w h < <(xwininfo -id "$box" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
note "message box ${w}x${h}"
[ "$w" -ge 300 ] && [ "$h" -ge 60 ] || fail "message box is ${w}x${h}"
# The text is drawn: dark pixels on the box's light face, beside the red sign.
dark=$(convert "$SHOTS/missing-script.png" -crop "$((w - 80))x30+$(xwininfo -id "$box" | awk '/Absolute upper-left X/{print $4 + 60}')+$(xwininfo -id "$box" | awk '/Absolute upper-left Y/{print $4 + 12}')" \
  -colorspace Gray -threshold 50% -format '%[fx:round((1-mean)*w*h)]' info:)
note "dark pixels in the text line: $dark"
[ "$dark" -gt 50 ] || fail "no text in the message box"
focus "$box"
xdotool key Return
wait_exit 10
[ "$RC" = 1 ] || fail "exit code $RC after a missing script"
grep -qx "IO Error: Cannot open XML file: english.xml" "$WORK/xmlparse.log" || fail "log: $(cat "$WORK/xmlparse.log")"
[ "$(wc -l <"$WORK/xmlparse.log")" = 3 ] || fail "log has more than one line after the header"
grep -q "zenity" "$WORK/stdout.txt" && fail "SDL's box was tried"

# The close box acknowledges it too.
launch
accept_dialog_with windowed
box=$(wait_message_box)
"$BUILD/kv-wm-close" "$box"
wait_exit 10
[ "$RC" = 1 ] || fail "exit code $RC after closing the message box"
echo "PASS"
