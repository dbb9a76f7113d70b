#!/usr/bin/env bash
# The engine comes back: its renderer process killed while a program plays,
# the player area says the program could not be played, and the next click
# on a program plays it; the information strip shows its page again.
#   comeback.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
cache_stage_programs
e2e_start
xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the first program does not show"
wait_for_strip_text 10 || fail "the strip shows no page"
# The player's renderers: its engine processes forked by the engine's
# zygote, that is whose parent is an engine process too.
renderers=$(for p in $(tree_pids); do
  parent=$(ps -o ppid= -p "$p" | tr -d ' ') || continue
  ps -o args= -p "$parent" 2>/dev/null | grep -q QtWebEngineProcess && echo "$p"
done || true)
[ -n "$renderers" ] || fail "no renderer process to end"
kill -9 $renderers
wait_for_pixel 10 100 110 255,255,255 || fail "the player area still shows the program"
xdotool mousemove 900 100 click 1
wait_for_pixel 20 100 110 192,192,0 || fail "the next program does not play after the renderer ended"
wait_for_strip_text 10 || fail "the strip did not come back"
echo "PASS: after its renderer was killed the engine came back on the next click"
