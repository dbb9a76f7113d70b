#!/usr/bin/env bash
# Runs a command on an X display of its own, 1280x800 in 24-bit colour. The
# X server picks a free display number itself (-displayfd), so scripts that
# start at the same moment never pick the same one. It never resets when its
# last client leaves: while it resets it refuses the next one.
#   own-display.sh COMMAND ARGS...
set -uo pipefail
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 300); do
  [ -s "$dir/display" ] && break
  kill -0 $server 2>/dev/null || { cat "$dir/log" >&2; echo "The X server did not start." >&2; exit 1; }
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "The X server did not start in 30 s." >&2; exit 1; }
DISPLAY=:$(head -n1 "$dir/display") "$@"
result=$?
kill -0 $server 2>/dev/null || { echo "The X server ended early:" >&2; cat "$dir/log" >&2; }
exit $result
