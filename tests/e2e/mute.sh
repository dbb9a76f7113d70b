#!/usr/bin/env bash
# Mute that stays, heard through a private sound server whose only output
# is a null sink, recorded from its monitor. Two programs each play a tone
# from their first frame: the first is heard, then muted; a click on the
# second (and back on the first) stays silent; unmuted, the tone is back.
#   mute.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
"$swfgen" --frames 600 --size 1016x711 --background C00000 --tone 440 "$app/res/fla/$first.swf"
"$swfgen" --frames 600 --size 1016x711 --background C0C000 --tone 660 "$app/res/fla/$second.swf"

mkdir -p "$work/pulse"
trap 'pid=; e2e_stop' EXIT # until the player runs
PULSE_SERVER=$("$scripts/sound-server.sh" start "$work/pulse") || fail "the sound server did not start"
export PULSE_SERVER

# The loudest sample the sound server plays over $1 seconds (of 32767).
loudest() {
  parec -d kibu.monitor --raw --format=s16le --channels=1 --rate=22050 >"$work/heard.raw" &
  local recorder=$!
  sleep "$1"
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  od -An -v -td2 -w2 "$work/heard.raw" | awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v } END { print m + 0 }'
}
quiet() { [ "$(loudest 0.3)" -lt 100 ]; }
loud() { [ "$(loudest 0.3)" -gt 2000 ]; }
# Presses the mute button, waits up to 5 s for the sound to turn $1 (quiet
# or loud), and says how loud it is then over 1.5 s.
toggle_mute() {
  xdotool mousemove 81 667 click 1
  wait_until 5 "$1" || true
  loudest 1.5
}
# Clicks row $1, waits for its stage ($2), and says how loud it plays.
play_row() {
  xdotool mousemove 900 $((82 + 18 * ($1 - 1))) click 1
  wait_for_pixel 10 100 110 "$2" || fail "the program of row $1 does not show"
  loudest 2
}

e2e_start
heard=$(play_row 1 192,0,0)
[ "$heard" -gt 2000 ] || fail "the first program's tone is not heard ($heard)"
heard=$(toggle_mute quiet)
[ "$heard" -lt 100 ] || fail "muting left the tone at $heard"
heard=$(play_row 2 192,192,0)
[ "$heard" -lt 100 ] || fail "muted, the second program played its tone at $heard"
heard=$(play_row 1 192,0,0)
[ "$heard" -lt 100 ] || fail "muted, the first program played its tone at $heard"
heard=$(toggle_mute loud)
[ "$heard" -gt 2000 ] || fail "unmuted, the tone is not back ($heard)"
echo "PASS: muted, no program change brought the sound back; unmuted, it is there"
