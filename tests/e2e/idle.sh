#!/usr/bin/env bash
# What the window costs when nothing moves: with no program, and with a
# program paused, the whole process tree uses at most 0.05 s of CPU a second
# over 10 s (a playing program takes several times that).
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
# CPU seconds a second over 10 s, as a decimal.
load_over_10s() {
  local before after
  before=$(tree_ticks)
  sleep 10
  after=$(tree_ticks)
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.3f", t / hz / 10 }'
}
within() { awk -v v="$1" 'BEGIN { exit !(v <= 0.05) }'; }

e2e_start
sleep 3
idle=$(load_over_10s)
within "$idle" || fail "the window with no program uses $idle s of CPU a second"
xdotool mousemove 900 82 click 1
wait_for_pixel 10 100 110 192,0,0 || fail "the program does not show"
sleep 2
xdotool mousemove 145 667 click 1 # 暂停
sleep 1
paused=$(load_over_10s)
within "$paused" || fail "the paused program uses $paused s of CPU a second"
echo "PASS: CPU a second with no program $idle s, paused $paused s"
