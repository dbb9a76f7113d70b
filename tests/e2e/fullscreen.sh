#!/usr/bin/env bash
# Full screen as a child meets it: a program plays, full screen leaves only
# the stage and the way back; clicks where the links were do nothing; the
# way back (clicked, or Space) brings every control back as it was.
#   fullscreen.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
# A red and a yellow program, and a blue favourite that would play if
# "收藏" had switched the list.
cache_stage_programs
"$swfgen" --frames 600 --size 1016x711 --background 0000C0 "$app/res/fla/蓝色.swf"
printf '蓝色\r\n蓝色\r\n' | iconv -f UTF-8 -t GBK >"$app/cons/shoucang.inb"
e2e_start

xdotool mousemove 900 82 click 1 # the first program
wait_for_pixel 10 100 110 192,0,0 || fail "the first program does not show"
xdotool mousemove 49 667 click 1 # 全屏显示
wait_for_pixel 10 864 664 192,0,0 || fail "no full screen"
import -window root "$work/fullscreen.png"
# Where the links, the player buttons and the category pictures were, the
# stage is; the way back is the only control on it.
for spot in 864,664 904,664 944,664 1010,659 49,667 81,667 113,667 145,667 37,35 974,35; do
  colour=$(convert "$work/fullscreen.png" -format \
    "%[fx:int(255*p{$spot}.r)],%[fx:int(255*p{$spot}.g)],%[fx:int(255*p{$spot}.b)]" info:)
  [ "$colour" = 192,0,0 ] || fail "at $spot the screen shows $colour, not the stage"
done
[ "$(screen_pixel 983 677)" != 192,0,0 ] || fail "the way back is not shown"

xdotool mousemove 944 664 click 1 # where 设置 was
if wait_window 3 --name '^设置'; then
  fail "a click on the full-screen program opened the settings"
fi
xdotool mousemove 864 664 click 1 # where 收藏 was
holds_for 1 "screen_pixel 864 664" 192,0,0 || fail "a click on the program left full screen"
xdotool mousemove 983 677 click 1 # 返回
wait_for_pixel 10 900 600 255,192,255 || fail "the list is not back"
[ "$(screen_pixel 864 664)" != 192,0,0 ] || fail "the links are not back"

# The list is still the category's: its second row is the yellow program.
xdotool mousemove 900 100 click 1
wait_for_pixel 10 100 110 192,192,0 || fail "the second row did not play the category's program"
[ "$(first_line "$app/cons/lishi.inb")" = "$second" ] || fail "the history does not start with $second"
# The way back has the keyboard's focus: Space leaves full screen too.
xdotool mousemove 49 667 click 1 # 全屏显示
wait_until 10 prints_other "screen_pixel 900 600" 255,192,255 || fail "no full screen the second time"
xdotool key space
wait_for_pixel 10 900 600 255,192,255 || fail "Space did not leave full screen"
echo "PASS: full screen covers every control but the way back, which restores them"
