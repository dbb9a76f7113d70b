#!/usr/bin/env bash
# Reads the window titles as the window system shows them to the user: the
# main window, a download notice and the settings dialog carry their own
# titles and nothing after them.
#   titles.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
# A download server without the programs: a click on one brings "文件无法找到".
mkdir -p "$work/empty-server"
e2e_serve "$work/empty-server"
e2e_start

expect_title() {
  local title
  title=$(window_title "$1") || fail "no window titled $2"
  [ "$title" = "$2" ] || fail "the window system shows '$title' instead of '$2'"
}

expect_title 'Kibu播放器1\.3' 'Kibu播放器1.3'
xdotool mousemove 900 82 click 1 # a program that is not in the cache
expect_title '提示' '提示'
xdotool key Return
sleep 1
xdotool mousemove 944 664 click 1 # 设置
expect_title '设置' '设置'
echo "PASS: the window system shows exactly 'Kibu播放器1.3', '提示' and '设置'"
