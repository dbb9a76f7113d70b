#!/usr/bin/env bash
# Builds the Debian package and looks at it as a distribution would: its
# control fields, desktop entry, AppStream data and lintian's verdict; then
# starts the unpacked launcher under Xvfb with an empty home, as a new user
# would after installing it.
#   package.sh BUILD_DIR SWFGEN DEMO_DIR
set -euo pipefail
if [ "${1:-}" != --inside ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  build=$1
  (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
  "$(dirname "$0")/../../scripts/own-display.sh" "$0" --inside "$work" "$@"
  exit $?
fi
work=$2 swfgen=$4 demo=$5
source "$(dirname "$0")/../e2e/common.sh"
deb=$(ls "$work"/out/kibu-player_*.deb)

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kibu-player ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = 1.3.0 ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
for dep in libqt6webenginewidgets6 libqt6webenginecore6-bin libqt6multimedia6 fonts-wqy-zenhei; do
  field Depends | grep -q "\\b$dep\\b" || fail "Depends lacks $dep"
done
[ "$(field Section)" = education ] || fail "Section is '$(field Section)'"

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/example.kibu.player.desktop" ||
  fail "the desktop entry is not valid"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/example.kibu.player.metainfo.xml" \
    >"$work/appstream.log" || { cat "$work/appstream.log"; fail "the AppStream data is not valid"; }
fi
[ -s "$root/usr/share/icons/hicolor/256x256/apps/example.kibu.player.png" ] || fail "no icon"
lintian "$deb" >"$work/lintian.log" 2>&1 || true
if grep -q '^E:' "$work/lintian.log"; then
  cat "$work/lintian.log"
  fail "lintian reports errors"
fi

# A new user's first start: their own folder, made from the defaults.
export HOME="$work/home" QT_QPA_PLATFORM=xcb
unset XDG_DATA_HOME
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
user="$HOME/.local/share/kibu-player"
start() {
  QT_LOGGING_RULES="kibu.engine.info=true" "$root/usr/bin/kibu-player" --web-base http://127.0.0.1:9/ --download-base http://127.0.0.1:9/ \
    >"$work/player.log" 2>&1 &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  wait_window 30 --name 'Kibu播放器1.3' || fail "no main window"
  wait_until 30 grep -q 'engine page ready' "$work/player.log" || fail "the engine page did not load"
}
start
for n in $(seq -w 1 14); do [ -s "$user/cons/b$n.inb" ] || fail "no cons/b$n.inb in the user's folder"; done
[ -d "$user/res/fla" ] && [ -d "$user/自定义节目" ] || fail "no cache or custom-programs folder"
cmp -s "$user/cons/b01.inb" "$root/usr/lib/kibu-player/defaults/cons/b01.inb" ||
  fail "the first category's list is not the default"
# Category 1's picture shows its selected look: the label in red.
import -window root "$work/shot.png"
red=$(convert "$work/shot.png" -crop 56x14+9+54 -fx '(r>0.8 && g<0.4) ? 1 : 0' -format '%[fx:mean>0.02]' info:)
[ "$red" = 1 ] || fail "category 1 is not shown selected"

# A favourite added in the first run stays for the second.
first=$(head -n1 "$demo/catalogue/b01.txt" | tr -d '\r')
"$swfgen" --frames 600 --size 550x400 --background 00C000 "$user/res/fla/$first.swf"
row=$(row_sum 1)
xdotool mousemove 109 35 click 1 # category 2, then back to 1: the row is present now
wait_until 10 prints_other "row_sum 1" "$row" || fail "category 2 does not show"
row=$(row_sum 1)
xdotool mousemove 37 35 click 1
wait_until 10 prints_other "row_sum 1" "$row" || fail "category 1 does not show again"
windows=$(shown_windows)
xdotool mousemove 900 82 click 3
wait_until 10 prints_other shown_windows "$windows" || fail "no menu"
xdotool key Down Down Down Return # 加入收藏
wait_window 10 --name '^Kibu播放器$' || fail "no success message"
xdotool key Return
wait_until 10 prints shown_windows "$windows" || fail "the message stays"
kill "$pid"
wait "$pid" 2>/dev/null || true
start
[ "$(first_line "$user/cons/shoucang.inb")" = "$first" ] || fail "the favourite did not stay"
echo "PASS: the package installs a player that keeps each user's lists; lintian: $(grep -c '^W:' "$work/lintian.log" || true) warnings"
