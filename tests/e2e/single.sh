#!/usr/bin/env bash
# Two starts on one application folder: the second ends within 2 s, there is
# still one main window, and it has come to the front, over the window that
# covered it and with the keyboard's focus, as the window system shows it.
#   single.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
e2e_start
main=$(find_windows --onlyvisible --name 'Kibu播放器1\.3')

# Whether the main window has the keyboard's focus and stands over the
# covering one (the window system lists the top window first).
in_front() {
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$main" ] &&
    [ "$(xwininfo -root -children | grep -oE "0x($(printf '%x|%x' "$main" "$cover"))\b" |
      head -n1)" = "$(printf '0x%x' "$main")" ]
}

xmessage -geometry 1280x800+0+0 'a window over the player' >/dev/null 2>&1 &
cover_pid=$!
trap 'kill $cover_pid 2>/dev/null; e2e_stop' EXIT
wait_window 10 --onlyvisible --name '^xmessage$' || fail "no covering window"
cover=$(find_windows --onlyvisible --name '^xmessage$' | head -n1)
xdotool windowfocus --sync "$cover"
! in_front || fail "the covered player counts as in front"

"$player" --app-dir "$app" --web-base http://127.0.0.1:9/ --download-base http://127.0.0.1:9/ \
  >"$work/second.log" 2>&1 &
second=$!
for _ in $(seq 20); do
  kill -0 "$second" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$second" 2>/dev/null && fail "the second start still runs after 2 s"
wait "$second" || fail "the second start ended with $?"
kill -0 "$pid" || fail "the first player has ended"
[ "$(find_windows --onlyvisible --name 'Kibu播放器1\.3' | wc -l)" -eq 1 ] ||
  fail "not one main window"
for _ in $(seq 50); do
  in_front && break
  sleep 0.1
done
in_front || fail "the first player is not in front"
echo "PASS: the second start ended, the one window came to the front"
