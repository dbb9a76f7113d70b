#!/usr/bin/env bash
# Installs everything, builds, and starts the player on the demo application
# folder (build/app) with the demo web site. Without a display the player
# runs under Xvfb and a screenshot of it is saved instead:
#   scripts/run.sh [SCREENSHOT.png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
shot=${1:-$here/kibu-screenshot.png}

"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$build"
# The demo web site and content server, stopped when the player exits.
run=$(mktemp -d)
trap '"$here/scripts/demo-server.sh" stop "$run"; rm -rf "$run"' EXIT
port=$("$here/scripts/demo-server.sh" start "$build" "$run")
echo "Demo web site and content server: http://127.0.0.1:$port/"

# A few programs come already in the cache; the others download on their
# first click.
mark=$(head -n1 "$here/demo/server-address.txt" | cut -d, -f1)
for list in b01 b04 b07 b08 b10; do
  name=$(head -n1 "$here/demo/catalogue/$list.txt" | tr -d '\r')
  src="$build/demo-site/${mark:10:3}${mark:3:3}/fla/$name.swf"
  if [ -f "$src" ] && [ ! -f "$build/app/res/fla/$name.swf" ]; then
    cp "$src" "$build/app/res/fla/"
  fi
done

args=(--app-dir "$build/app" --web-base "http://127.0.0.1:$port/"
      --download-base "http://127.0.0.1:$port/")
# Qt WebEngine refuses to start as root unless its sandbox is off.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$build/app/kibu-player" "${args[@]}"
else
  echo "No display: running under Xvfb and saving a screenshot to $shot"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$0" "${@:2}" &
    pid=$!
    sleep 6
    # Choose the second program of the first category, as a child would:
    # it downloads from the demo content server and plays.
    xdotool mousemove 900 100 click 1
    sleep 5
    import -window root "$1"
    kill $pid; wait $pid 2>/dev/null || true
  ' "$build/app/kibu-player" "$shot" "${args[@]}"
  echo "Screenshot: $shot"
fi
