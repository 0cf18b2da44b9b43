#!/usr/bin/env bash
# "Die" (Escape) in the setup dialog ends with 1 and no message; a missing
# script ends with the parse-failure message box and 1.
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
xwininfo -root -tree | grep -q '"Korvell": ("Korvell"' && true
shot missing-script
focus "$box"
xdotool key Return
wait_exit 10
[ "$RC" = 1 ] || fail "exit code $RC after a missing script"
grep -qx "IO Error: Cannot open XML file: english.xml" "$WORK/xmlparse.log" || fail "log: $(cat "$WORK/xmlparse.log")"
[ "$(wc -l <"$WORK/xmlparse.log")" = 3 ] || fail "log has more than one line after the header"
echo "PASS"
