#!/usr/bin/env bash
# What the window costs when nothing moves: with no program, and with a
# program paused, the whole process tree uses at most 0.05 s of CPU a second
# over 5 s (a playing program takes several times that).
#   idle.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
cache_stage_programs

# CPU seconds (in clock ticks) used so far by the player and the processes
# it started.
tree_ticks() {
  local total=0 p fields
  for p in $(tree_pids); do
    fields=$(cut -d')' -f2- "/proc/$p/stat" 2>/dev/null) || continue
    set -- $fields
    total=$((total + ${12} + ${13}))
  done
  echo "$total"
}
# CPU seconds a second over $1 seconds (the measuring span), as a decimal.
load_over() {
  local before after
  before=$(tree_ticks)
  sleep "$1"
  after=$(tree_ticks)
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$1" 'BEGIN { printf "%.3f", t / hz / s }'
}
within() { awk -v v="$1" 'BEGIN { exit !(v <= 0.05) }'; }
# Whatever starting or pausing set going has died down: a quiet second.
settled() { within "$(load_over 1)"; }
span=5

e2e_start
wait_until 15 settled || true
idle=$(load_over $span)
within "$idle" || fail "the window with no program uses $idle s of CPU a second"
xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the program does not show"
moving || fail "the program does not play"
xdotool mousemove 145 667 click 1 # 暂停
wait_until 15 settled || true
paused=$(load_over $span)
within "$paused" || fail "the paused program uses $paused s of CPU a second"
echo "PASS: CPU a second with no program $idle s, paused $paused s"
