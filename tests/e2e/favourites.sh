#!/usr/bin/env bash
# Drives the real program under Xvfb as a user would: right-click a cached
# program, add it to the favourites, play another one, open the favourites
# and play the first one from there.
#   favourites.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
# Two cached programs with stage colours that tell them apart.
"$swfgen" --frames 600 --size 550x400 --background 00C000 "$app/res/fla/小星星.swf"
"$swfgen" --frames 600 --size 550x400 --background 0000C0 "$app/res/fla/两只老虎.swf"
e2e_start

# Rows of the main list sit at y = 82, 100, ...; the links at y = 664.
windows=$(shown_windows)
xdotool mousemove 900 82 click 3 # chooses and plays the first row, opens its menu
wait_until 10 prints_other shown_windows "$windows" || fail "no menu"
xdotool key Down Down Down Return # 加入收藏
wait_focus '^Kibu播放器$' || fail "no success message"
xdotool key Return # closes it
wait_until 10 prints shown_windows "$windows" || fail "the message stays"
xdotool mousemove 900 100 click 1 # plays the second program
wait_for_pixel 10 100 110 0,0,192 || fail "the second program does not show"
list=$(row_sum 2)
xdotool mousemove 860 664 click 1 # 收藏: the favourites, one row
wait_until 10 prints_other "row_sum 2" "$list" || fail "the favourites list does not show"
xdotool mousemove 900 82 click 1 # the favourite

favourites=$(iconv -f GBK -t UTF-8 "$app/cons/shoucang.inb" | tr -d '\r')
[ "$favourites" = "小星星" ] || fail "favourites file holds '$favourites'"
# The stage's top left shows the favourite's green.
wait_for_pixel 10 100 110 0,192,0 || fail "the player does not show the favourite"
history=$(iconv -f GBK -t UTF-8 "$app/cons/lishi.inb" | tr -d '\r' | paste -sd,)
[ "$history" = "两只老虎,小星星" ] || fail "history holds '$history'"
echo "PASS: added to the favourites and played from there"
