#!/usr/bin/env bash
# Reads the window titles as the window system shows them to the user: the
# main window, a download notice and the settings dialog carry their own
# titles and nothing after them. The strip shows the web site's page.
#   titles.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
# A server without the programs: a click on one brings "文件无法找到". It
# serves the first category's page, green, to the strip.
mkdir -p "$work/server"
echo "<html><body style='background:#00c000'>show1</body></html>" >"$work/server/show1.htm"
e2e_serve "$work/server"
web_base=$download_base
e2e_start
wait_for_pixel 10 500 698 0,192,0 || fail "the strip does not show the web site's page"

expect_title() {
  local title
  title=$(window_title "$1") || fail "no window titled $2"
  [ "$title" = "$2" ] || fail "the window system shows '$title' instead of '$2'"
}

expect_title 'Kibu播放器1\.3' 'Kibu播放器1.3'
windows=$(shown_windows)
xdotool mousemove 900 82 click 1 # a program that is not in the cache
expect_title '提示' '提示'
wait_focus '^提示$' || fail "the message does not take the keys"
xdotool key Return
wait_until 10 prints shown_windows "$windows" || fail "the message stays"
xdotool mousemove 944 664 click 1 # 设置
expect_title '设置' '设置'
echo "PASS: the window system shows exactly 'Kibu播放器1.3', '提示' and '设置'"
