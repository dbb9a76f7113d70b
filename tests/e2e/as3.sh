#!/usr/bin/env bash
# ActionScript 3 programs through the window. One holds its first frame (a
# title screen) and turns blue from frame 120: a drag of the position bar to
# three quarters shows the blue frame, and the bar stays where the program
# is. One whose document class is final cannot take the player's class: it
# still plays.
#   as3.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
"$swfgen" --version 10 --class Main --frames 240 --rate 12 --size 1016x711 --background C00000 \
  --stop-at 1 --cover 120:0000C0 "$app/res/fla/$first.swf"
"$swfgen" --version 10 --class Main --final --frames 240 --rate 12 --size 1016x711 \
  --background C0C000 "$app/res/fla/$second.swf"
e2e_start

xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the program's first frame does not show"
holds_for 2 "screen_pixel 100 110" 192,0,0 || fail "the program did not hold its first frame"
thumb=$(thumb_x)
[ -n "$thumb" ] || fail "no thumb on the position bar"
# In steps, the last one held before the release: a busy machine may
# still be drawing the bar when the button comes up.
drag_thumb "$thumb" 431
wait_for_pixel 3 100 110 0,0,192 || fail "the drag did not bring the program's blue frame"
moved=$(thumb_x)
[ "$moved" -gt 380 ] || fail "the bar does not show where the program is (thumb at $moved)"

xdotool mousemove 900 100 click 1
wait_for_pixel 10 100 110 192,192,0 || fail "the program with a final class does not show"
moving || fail "the program with a final class stands still"
echo "PASS: a drag showed the ActionScript 3 program's frame; a final class still plays"
