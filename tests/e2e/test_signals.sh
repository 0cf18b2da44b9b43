#!/usr/bin/env bash
# Ctrl+C (SIGINT) and kill (SIGTERM) end the program at once and cleanly,
# during the show as during the credits, with the shell's codes 130 and 143.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/show.sh"
start_display
make_picture red.jpg red
write_show "red.jpg 60 none 0" "red.jpg 60 none 0" "red.jpg 1 none 0"

for case in "INT show 130" "TERM credits 143" "INT dialog 130"; do
  read -r sig when code <<<"$case"
  launch
  if [ "$when" = dialog ]; then
    wait_window "Korvell :: Setup" >/dev/null
  else
    accept_dialog_with windowed
    win=$(wait_window '^Korvell :: [0-9]')
    wait_clock_at_least "$win" 1.0 >/dev/null
    if [ "$when" = credits ]; then
      focus "$win"; xdotool key Escape
      sleep 0.5
    fi
  fi
  kill -s "$sig" "$KPID"
  wait_exit 3
  note "SIG$sig during the $when: exit $RC"
  [ "$RC" = "$code" ] || fail "exit code $RC after SIG$sig during the $when, expected $code"
  [ -z "$(find_message_box)" ] || fail "a message box after SIG$sig"
done
echo "PASS"
