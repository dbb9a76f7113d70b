# Shared by the end-to-end scripts: an application folder of their own,
# the real player on the Xvfb display, and looking at the screen.
#   source common.sh; e2e_setup WORK PLAYER MAKE_APP_FOLDER DEMO_DIR ENGINE_DIR

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

e2e_start() {
  "$player" --app-dir "$app" --web-base http://127.0.0.1:9/ --download-base http://127.0.0.1:9/ \
    >"$work/player.log" 2>&1 &
  pid=$!
  trap e2e_stop EXIT
  timeout 30 xdotool search --sync --name 'Kibu播放器1.3' >/dev/null || fail "no main window"
  sleep 4 # the engine page
}

e2e_stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
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
  local i
  for i in $(seq "$1"); do
    [ "$(screen_pixel "$2" "$3")" = "$4" ] && return 0
    sleep 1
  done
  return 1
}

first_line() {
  iconv -f GBK -t UTF-8 "$1" | tr -d '\r' | head -n1
}
