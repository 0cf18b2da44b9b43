#!/usr/bin/env bash
# The show loop with its clock in the title, Escape into the credits with
# the clock from zero again, Escape again ends the program with 0.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
start_long_show red
win=$WIN
c1=$(wait_clock_at_least "$win" 0.5)
c2=$(wait_clock_at_least "$win" 1.5)
note "show clock $c1 then $c2"
[ "$(window_title "$win")" != "" ] || fail "no title"
window_title "$win" | grep -Eq '^Korvell :: [0-9]+\.[0-9]{3}$' || fail "title '$(window_title "$win")'"
focus "$win"
xdotool key Escape
sleep 0.5
c3=$(clock_of "$win")
note "credits clock $c3"
awk -v a="$c3" 'BEGIN{exit !(a < 1.0)}' || fail "credits clock did not restart (read $c3)"
wait_clock_at_least "$win" 1.2 >/dev/null
focus "$win"
xdotool key Escape
wait_exit 10
[ "$RC" = 0 ] || fail "exit code $RC after Escape in the credits"
[ -z "$(find_message_box)" ] || fail "unexpected message box"
grep -q "Parsing finished. No errors occured! :-)" "$WORK/xmlparse.log" || fail "parse log"
echo "PASS"
