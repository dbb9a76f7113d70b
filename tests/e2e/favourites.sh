#!/usr/bin/env bash
# Drives the real program under Xvfb as a user would: right-click a cached
# program, add it to the favourites, play another one, open the favourites
# and play the first one from there.
#   favourites.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail

if [ "${1:-}" != --inside ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside "$work" "$@"
  exit $?
fi

work=$2 player=$3 makefolder=$4 swfgen=$5 demo=$6 engine=$7
app="$work/app"
"$makefolder" "$demo" "$app" >/dev/null
mkdir -p "$app/res"
cp -r "$engine" "$app/res/ruffle"
# Two cached programs with stage colours that tell them apart.
"$swfgen" --frames 600 --size 550x400 --background 00C000 "$app/res/fla/小星星.swf"
"$swfgen" --frames 600 --size 550x400 --background 0000C0 "$app/res/fla/两只老虎.swf"
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
# On the X server, whatever the tests around it use.
export QT_QPA_PLATFORM=xcb

"$player" --app-dir "$app" --web-base http://127.0.0.1:9/ --download-base http://127.0.0.1:9/ \
  >"$work/player.log" 2>&1 &
pid=$!
stop() { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
trap stop EXIT
fail() {
  import -window root "$work/failed.png" 2>/dev/null && cp "$work/failed.png" "${TMPDIR:-/tmp}/kibu-e2e-failed.png"
  echo "FAIL: $*" >&2
  exit 1
}

timeout 30 xdotool search --sync --name 'Kibu播放器1.3' >/dev/null || fail "no main window"
sleep 4 # the engine page

# Rows of the main list sit at y = 82, 100, ...; the links at y = 664.
xdotool mousemove 900 82 click 3 # chooses and plays the first row, opens its menu
sleep 1
xdotool key Down Down Down Return # 加入收藏
sleep 1
timeout 10 xdotool search --sync --name '^Kibu播放器$' >/dev/null || fail "no success message"
xdotool key Return # closes it
sleep 1
xdotool mousemove 900 100 click 1 # plays the second program
sleep 1
xdotool mousemove 860 664 click 1 # 收藏
sleep 1
xdotool mousemove 900 82 click 1 # the favourite
sleep 3
import -window root "$work/shot.png"

favourites=$(iconv -f GBK -t UTF-8 "$app/cons/shoucang.inb" | tr -d '\r')
[ "$favourites" = "小星星" ] || fail "favourites file holds '$favourites'"
history=$(iconv -f GBK -t UTF-8 "$app/cons/lishi.inb" | tr -d '\r' | paste -sd,)
[ "$history" = "两只老虎,小星星" ] || fail "history holds '$history'"
# The stage's top left shows the favourite's green.
pixel=$(convert "$work/shot.png" -format '%[pixel:p{100,110}]' info:)
case "$pixel" in
  *"0,192,0"* | *"(0,19"*) ;;
  *) fail "the player shows $pixel, not the favourite" ;;
esac
echo "PASS: added to the favourites and played from there"
