#!/usr/bin/env bash
# Drives the real program under Xvfb: a category picture, then a program's
# row plays it and records it in the history; with "播放全部" on, the next
# program starts when the first one ends.
#   playall.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
first=$(head -n1 "$demo/catalogue/b02.txt" | tr -d '\r')
second=$(sed -n 2p "$demo/catalogue/b02.txt" | tr -d '\r')
# A short green program, then a long blue one.
"$swfgen" --frames 36 --rate 12 --size 550x400 --background 00C000 "$app/res/fla/$first.swf"
"$swfgen" --frames 600 --rate 12 --size 550x400 --background 0000C0 "$app/res/fla/$second.swf"
e2e_start
# The web site cannot be reached: the strip shows the offline page.
wait_for_strip_text 10 || fail "the strip shows no offline page"

list=$(row_sum 1)
xdotool mousemove 109 35 click 1 # the second category's picture
wait_until 10 prints_other "row_sum 1" "$list" || fail "the second category's list does not show"
xdotool mousemove 900 82 click 1 # its first program
wait_for_pixel 10 100 110 0,192,0 || fail "the first program does not show"
moving || fail "the first program stands still"
[ "$(first_line "$app/cons/lishi.inb")" = "$first" ] || fail "the history does not start with $first"

xdotool mousemove 547 664 click 1 # 播放全部
wait_for_pixel 15 100 110 0,0,192 || fail "the next program did not start"
[ "$(first_line "$app/cons/lishi.inb")" = "$second" ] || fail "the history does not start with $second"
echo "PASS: played from its row, recorded, and moved on under play all"
