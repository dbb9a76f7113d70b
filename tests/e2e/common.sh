# Shared by the end-to-end scripts: an application folder of their own,
# the real player on the Xvfb display, and looking at the screen. Each
# script takes PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR and begins
#   source "$(dirname "$0")/common.sh"; e2e_begin "$@"

scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)

# Runs the script again on a display of its own with a work folder, and
# ends with its result; inside, lays out the application folder and sets
# $app, $player, $swfgen, $demo, and $first and $second: the names of the
# first category's first two programs.
e2e_begin() {
  if [ "${1:-}" != --inside ]; then
    e2e_outer=$(mktemp -d)
    trap 'rm -rf "$e2e_outer"' EXIT
    "$scripts/own-display.sh" "$0" --inside "$e2e_outer" "$@"
    exit $?
  fi
  swfgen=$5 demo=$6
  e2e_setup "$2" "$3" "$4" "$6" "$7"
  first=$(head -n1 "$demo/catalogue/b01.txt" | tr -d '\r')
  second=$(sed -n 2p "$demo/catalogue/b01.txt" | tr -d '\r')
}

e2e_setup() {
  work=$1 player=$2
  app="$work/app"
  "$3" "$4" "$app" >/dev/null
  mkdir -p "$app/res"
  cp -r "$5" "$app/res/ruffle"
  [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
  # On the X server, whatever the tests around it use.
  export QT_QPA_PLATFORM=xcb
}

# Nothing listens on port 9: pages and downloads fail at once, unless a
# test serves content (e2e_serve, then web_base or download_base) first.
e2e_start() {
  QT_LOGGING_RULES="kibu.engine.info=true" "$player" ${app:+--app-dir "$app"} \
    --web-base "${web_base:-http://127.0.0.1:9/}" \
    --download-base "${download_base:-http://127.0.0.1:9/}" ${KIBU_E2E_ARGS:-} >"$work/player.log" 2>&1 &
  pid=$!
  trap e2e_stop EXIT
  wait_window 30 --name 'Kibu播放器1.3' || fail "no main window"
  # The engine's page, once the player says it is ready.
  wait_until 30 grep -q 'engine page ready' "$work/player.log" || fail "the engine page did not load"
}

# Ends the player and whatever the test started beside it ($e2e_helpers).
e2e_stop() {
  local hung=
  kill ${pid:-} ${e2e_helpers:-} 2>/dev/null || true
  if [ -n "${pid:-}" ] && ! wait_until 20 not_running "$pid"; then
    hung=1
    kill -9 "$pid" 2>/dev/null || true
  fi
  wait ${pid:-} 2>/dev/null || true
  [ -d "$work/nginx" ] && "$scripts/nginx-serve.sh" stop "$work/nginx"
  [ -d "$work/pulse" ] && "$scripts/sound-server.sh" stop "$work/pulse"
  [ -z "$hung" ] || fail "the player did not end within 20 s of SIGTERM"
  return 0
}
# Whether process $1 has ended (reaped or not).
not_running() { ! kill -0 "$1" 2>/dev/null || [[ "$(ps -o stat= -p "$1")" == Z* ]]; }

# Serves folder $1 as the download server (nginx); sets $download_base.
e2e_serve() {
  mkdir -p "$work/nginx"
  download_base="http://127.0.0.1:$("$scripts/nginx-serve.sh" start "$1" "$work/nginx" 8880)/"
}

# Waits up to 60 s for program $1 to be in the cache with its part gone.
wait_whole() {
  whole() { [ -s "$app/res/fla/$1.swf" ] && [ ! -e "$app/res/fla/$1.swf.part" ]; }
  wait_until 60 whole "$1" || true
}

# Whether program $1's part holds $2 bytes or more.
part_holds() {
  [ "$(stat -c %s "$app/res/fla/$1.swf.part" 2>/dev/null || echo 0)" -ge "$2" ]
}

# The whole title of a window whose title begins with $1, as the window
# system holds it (_NET_WM_NAME), after waiting up to 10 s for one.
window_title() {
  local id
  wait_window 10 --name "^$1" || return 1
  id=$(find_windows --name "^$1" | head -n1)
  xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

fail() {
  import -window root "$work/failed.png" 2>/dev/null &&
    cp "$work/failed.png" "${TMPDIR:-/tmp}/kibu-e2e-$(basename "$0" .sh)-failed.png"
  echo "FAIL: $*" >&2
  exit 1
}

# The colour at x,y of a fresh screenshot, as "r,g,b".
screen_pixel() {
  import -window root "$work/shot.png"
  convert "$work/shot.png" -format '%[fx:int(255*p{'"$1,$2"'}.r)],%[fx:int(255*p{'"$1,$2"'}.g)],%[fx:int(255*p{'"$1,$2"'}.b)]' info:
}

# The player area of a fresh screenshot, as a checksum.
player_area_sum() {
  import -window root "$work/area.png"
  convert "$work/area.png" -crop 840x570+16+73 +repage rgb:- | md5sum | cut -d' ' -f1
}

# Waits up to $1 seconds for the pixel at $2,$3 to be $4.
wait_for_pixel() {
  wait_until "$1" prints "screen_pixel $2 $3" "$4"
}

# Waits up to $1 seconds for the command after it to succeed.
wait_until() {
  local until=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt "$until" ] || return 1
    sleep 0.2
  done
}

# Whether command $1 (split at blanks) prints $2, or not.
prints() { [ "$($1)" = "$2" ]; }
prints_other() { [ "$($1)" != "$2" ]; }

# Whether the player area changes within 5 s: the program moves.
moving() {
  wait_until 5 prints_other player_area_sum "$(player_area_sum)"
}

# Row $1 of the main list, as a checksum of a fresh screenshot.
row_sum() {
  import -window root "$work/row.png"
  convert "$work/row.png" -crop 160x16+870+$((74 + 18 * ($1 - 1))) +repage rgb:- | md5sum | cut -d' ' -f1
}

# The ids of the windows that `xdotool search "$@"` finds. A window that
# goes away while xdotool reads it (a menu closing) ends xdotool with
# BadWindow, so a search that fails is made again; one that finds nothing
# fails each time and takes half a second.
find_windows() {
  local out
  for _ in 1 2 3 4 5; do
    if out=$(xdotool search "$@" 2>/dev/null); then
      printf '%s\n' "$out"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits up to $1 seconds for a window that `xdotool search` with the
# arguments after it finds.
wait_window() {
  local seconds=$1
  shift
  wait_until "$seconds" find_windows "$@" >/dev/null
}

# Waits up to 10 s for a shown window whose title matches $1 to have the
# keyboard's focus, so that keys typed next reach it.
wait_focus() {
  has_focus() {
    find_windows --onlyvisible --name "$1" | grep -qx "$(xdotool getwindowfocus 2>/dev/null)"
  }
  wait_until 10 has_focus "$1"
}

# How many windows of the player are on the screen (menus, messages).
shown_windows() {
  find_windows --onlyvisible --pid "$pid" | wc -l
}

# Drags the position bar's thumb from $1 to $2 in steps, as a hand does,
# holding the last step before the release.
drag_thumb() {
  local x
  xdotool mousemove $(($1 + 3)) 665 mousedown 1
  for x in $(seq $(($1 + 3)) 40 "$2") "$2"; do
    xdotool mousemove "$x" 665
    sleep 0.2
  done
  xdotool mouseup 1 mousemove 700 400
}

# Whether what command $2 prints stays $3 for $1 seconds, looked at often.
holds_for() {
  local until=$((SECONDS + $1))
  while [ $SECONDS -lt "$until" ]; do
    [ "$($2)" = "$3" ] || return 1
    sleep 0.2
  done
}

# Waits up to $1 seconds for the information strip to show dark text (the
# offline page's words, or a page's).
wait_for_strip_text() {
  strip_text() {
    import -window root "$work/strip.png"
    [ "$(convert "$work/strip.png" -crop 1000x19+6+690 -colorspace gray -format '%[fx:minima<0.5]' info:)" = 1 ]
  }
  wait_until "$1" strip_text
}

# The first category's first two programs in the cache: a red and a yellow
# stage of the window's own shape (no bars beside them).
cache_stage_programs() {
  "$swfgen" --frames 600 --size 1016x711 --background C00000 "$app/res/fla/$first.swf"
  "$swfgen" --frames 600 --size 1016x711 --background C0C000 "$app/res/fla/$second.swf"
}

# How far right the generated programs' orange square stands, in screen
# pixels from the player's left edge, on the player's middle row.
square_x() {
  import -window root "$work/row.png"
  convert "$work/row.png" -crop 840x1+16+358 +repage txt:- |
    awk -F'[(),]' 'NR > 1 && $3 > 200 && $4 > 100 && $4 < 180 && $5 < 60 && !found { x = $1; found = 1 } END { print x }'
}

# Waits up to $1 seconds for the orange square to be at $2 or further.
past() {
  square_at() { local x; x=$(square_x); [ "${x:-0}" -ge "$1" ]; }
  wait_until "$1" square_at "$2"
}

# Where the position bar's thumb begins, in screen pixels (the bar's one
# run of white between its arrows).
thumb_x() {
  import -window root "$work/bar.png"
  convert "$work/bar.png" -crop 310x1+192+665 +repage txt:- |
    awk -F'[(),]' 'NR > 1 && $3 >= 245 && $3 == $4 && $4 == $5 && !found { x = $1 + 192; found = 1 } END { print x }'
}

# The player and every process it started.
tree_pids() {
  pstree -p -T "$pid" | grep -o '([0-9]*)' | tr -d '()'
}

# The PSS of the player's process tree, in KiB.
tree_pss_kib() {
  local p total=0
  for p in $(tree_pids); do
    total=$((total + $(awk '/^Pss:/ { print $2 }' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
  done
  echo "$total"
}

first_line() {
  iconv -f GBK -t UTF-8 "$1" | tr -d '\r' | head -n1
}
