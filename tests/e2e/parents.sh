#!/usr/bin/env bash
# The parents' settings as a family meets them. Child lock: in full screen
# Esc, Space and the way back leave the program in full screen until the
# parents' question is answered. Rest reminder (a minute lasting 400 ms here): after
# the play time the rest picture covers the player, the program stands
# still, and nothing starts it: a row, the play modes, the play button,
# Space, a drag of the position bar. Resuming: a long program left by a click on another row
# starts where it was when it is chosen again.
#   parents.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
cache_stage_programs
settings() {
  printf '[parents]\nchildLock=%s\nrestReminder=%s\nplayMinutes=10\nrestMinutes=30\nresumeLong=%s\n' \
    "$1" "$2" "${3:-false}" >"$app/cons/parents.ini"
}
export KIBU_E2E_ARGS="--parents-question 12+30 --minute-ms 400"

settings true false
e2e_start
xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the program does not show"
xdotool mousemove 49 667 click 1 # 全屏显示
wait_for_pixel 10 864 664 192,0,0 || fail "no full screen"
# Space presses the focused way back when the lock is off (fullscreen.sh).
xdotool key Escape space
holds_for 1 "screen_pixel 864 664" 192,0,0 || fail "a key left the locked full screen"
if wait_window 2 --name '^家长确认'; then
  fail "a key reached the way back" # no key reaches the locked window
fi
xdotool mousemove 983 677 click 1 # 返回: the parents' question
[ "$(window_title '家长确认')" = 家长确认 ] || fail "no parents' question"
wait_focus '^家长确认' || fail "the parents' question does not take the keys"
xdotool key Escape # a child gives up
holds_for 1 "screen_pixel 864 664" 192,0,0 || fail "the way back opened without the answer"
xdotool mousemove 983 677 click 1
window_title '家长确认' >/dev/null || fail "no parents' question the second time"
wait_focus '^家长确认' || fail "the parents' question does not take the keys"
xdotool type 42
xdotool key Return
wait_for_pixel 10 900 600 255,192,255 || fail "the answer did not bring the window back"
e2e_stop

settings false true
e2e_start
xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the program does not show before the rest"
wait_for_pixel 10 100 110 40,70,140 || fail "no rest picture after the play time"
# From the first sight of the picture the program stands still, whatever
# a child clicks: both play modes, the play button, Space, another row.
thumb=$(thumb_x)
[ -n "$thumb" ] || fail "no thumb on the position bar"
xdotool mousemove 547 664 click 1 mousemove 625 664 click 1 mousemove 113 667 click 1 key space
xdotool mousemove 900 100 click 1
holds_for 2 thumb_x "$thumb" || fail "the program moved during the rest (thumb from $thumb to $(thumb_x))"
[ "$(screen_pixel 100 110)" = 40,70,140 ] || fail "the rest picture went away"
[ "$(first_line "$app/cons/lishi.inb")" = "$first" ] || fail "a program started during the rest"
# A drag of the position bar's thumb to its far end: the thumb goes back,
# and the program stays.
drag_thumb "$thumb" 490
wait_until 2 prints thumb_x "$thumb" && holds_for 2 thumb_x "$thumb" || fail "the drag moved the program during the rest (thumb from $thumb to $(thumb_x))"
e2e_stop

# 24 frames a second, the orange square one stage pixel further each frame.
settings false false true
"$swfgen" --frames 1200 --rate 24 --size 1016x711 --background C00000 "$app/res/fla/$first.swf"
e2e_start
xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the long program does not show"
past 20 160 || fail "the long program does not play on"
left=$(square_x)
xdotool mousemove 900 100 click 1 # another program
wait_for_pixel 10 100 110 192,192,0 || fail "the other program does not show"
grep -q "\"frame\":[1-9][0-9][0-9]" "$app/cons/resume.json" 2>/dev/null ||
  fail "where the long program was left was not kept: $(cat "$app/cons/resume.json" 2>&1)"
xdotool mousemove 900 82 click 1 # the long one again
wait_for_pixel 10 100 110 192,0,0 || fail "the long program does not show again"
again=$(square_x)
[ "$again" -ge $((left - 10)) ] || fail "it started over (square at $again, left at $left)"
echo "PASS: the lock holds until the parents' answer; the rest stops programs; resumed at $again of $left"
