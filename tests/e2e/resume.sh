#!/usr/bin/env bash
# A download cut off by the program's sudden end (SIGKILL at about 60 % of a
# 20 MB program) goes on where it stopped the next time the row is clicked,
# and the program arrives byte for byte. Never a spliced file: when the
# server's program was replaced by other bytes of the same size meanwhile,
# the download starts over and brings the new one. A part that is a link
# to a file outside the application folder is never followed. A long
# program ended by SIGTERM goes on where it was.
#   resume.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
mark=$(head -n1 "$demo/server-address.txt" | cut -d, -f1)
folder="${mark:10:3}${mark:3:3}"
program="$work/server/$folder/fla/$first.swf"
mkdir -p "$(dirname "$program")"
head -c 20971520 /dev/urandom >"$program"
swapped="$work/server/$folder/fla/$second.swf"
head -c 8388608 /dev/urandom >"$swapped"
third=$(sed -n 3p "$demo/catalogue/b01.txt" | tr -d '\r')
head -c 1048576 /dev/urandom >"$work/server/$folder/fla/$third.swf"
# A link of about 2 MB/s, so that the download takes a while.
NGINX_RATE=2m e2e_serve "$work/server"
log="$work/nginx/logs/access.log"

# Clicks row $1 and kills the player once its part holds $2 bytes.
kill_at() {
  e2e_start
  xdotool mousemove 900 $((82 + 18 * ($1 - 1))) click 1
  wait_until 30 part_holds "$(sed -n "${1}p" "$demo/catalogue/b01.txt" | tr -d '\r')" "$2" ||
    fail "the download of row $1 never reached $2 bytes"
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
}

kill_at 1 12582912
before=$(wc -l <"$log")

e2e_start
xdotool mousemove 900 82 click 1
wait_whole "$first"
cmp -s "$program" "$app/res/fla/$first.swf" || fail "the program did not arrive byte for byte"
resumed=$(sed -n "$((before + 1))p" "$log")
case "$resumed" in
  *"|bytes=0-40960|"*) fail "the second download started over: $resumed" ;;
  *"|bytes="*) ;;
  *) fail "no request after the restart" ;;
esac
echo "  after SIGKILL the download went on from $(cut -d'|' -f2 <<<"$resumed") and arrived whole"

# The server's program replaced by other bytes of the same size (and another
# time) between the kill and the next click.
kill "$pid"
wait "$pid" 2>/dev/null || true
kill_at 2 3145728
old_part=$(head -c 1048576 "$app/res/fla/$second.swf.part" | md5sum)
head -c 8388608 /dev/urandom >"$swapped"
touch -d '+1 minute' "$swapped"
e2e_start
xdotool mousemove 900 100 click 1
wait_whole "$second"
[ "$(head -c 1048576 "$app/res/fla/$second.swf" | md5sum)" != "$old_part" ] ||
  fail "the old program's beginning was kept"
cmp -s "$swapped" "$app/res/fla/$second.swf" || fail "the swapped program did not arrive byte for byte"
echo "  a program replaced on the server meanwhile arrived as the new one"

# Links in place of the third program's part and its side file, pointing
# outside the application folder.
outside="$work/outside"
mkdir -p "$outside"
printf 'not yours' >"$outside/victim"
printf '1048576\netag "x"\n' >"$outside/side"
ln -s "$outside/victim" "$app/res/fla/$third.swf.part"
ln -s "$outside/side" "$app/res/fla/$third.swf.part.size"
xdotool mousemove 900 118 click 1
wait_whole "$third"
cmp -s "$work/server/$folder/fla/$third.swf" "$app/res/fla/$third.swf" ||
  fail "the third program did not arrive byte for byte"
[ ! -L "$app/res/fla/$third.swf" ] || fail "the cache file is a link"
[ "$(cat "$outside/victim")" = 'not yours' ] || fail "the file outside was written"
[ "$(ls "$outside" | wc -l)" -eq 2 ] || fail "files appeared outside the application folder"
[ "$(cat "$outside/side")" = "$(printf '1048576\netag "x"')" ] || fail "the side file's target was written"
e2e_stop

# Where a long program was is saved when the desktop ends the player
# (SIGTERM at log-out): started again and chosen, it goes on from there.
printf '[parents]\nchildLock=false\nrestReminder=false\nplayMinutes=10\nrestMinutes=5\nresumeLong=true\n' \
  >"$app/cons/parents.ini"
"$swfgen" --frames 2000 --rate 12 --size 1016x711 --background C00000 "$app/res/fla/$first.swf"
export KIBU_E2E_ARGS="--minute-ms 200"
e2e_start
xdotool mousemove 900 82 click 1
past 20 60 || fail "the long program does not play"
ms() { echo $(($(date +%s%N) / 1000000)); }
looked=$(ms)
left=$(square_x)
kill -TERM "$pid"
killed=$(ms)
timeout 10 tail --pid="$pid" -f /dev/null || fail "SIGTERM did not end the player"
e2e_start
clicked=$(ms)
xdotool mousemove 900 82 click 1
# Started over, the square would take six seconds to get there again; a
# slow start (the sanitizers' build) may take a few of them to play at all.
# The first place it is seen there is where it went on from.
first_past() {
  again=$(square_x)
  [ "${again:-0}" -ge "$1" ]
}
wait_until 4 first_past $((left - 3)) ||
  fail "it started over after SIGTERM (left at $left, now at $(square_x))"
# The square moves 10 pixels a second (12 frames of 0.83 pixels): it may
# have moved on while the player was being ended and while it was looked
# for again, no further.
moving_ms=$((killed - looked + $(ms) - clicked))
[ "$again" -le $((left + 3 + moving_ms / 100)) ] ||
  fail "it went on from too far (left at $left, now at $again, ${moving_ms} ms of playing)"
echo "PASS: resumed whole, never spliced, links in the cache never followed;" \
  "after SIGTERM the program went on at $again of $left"
