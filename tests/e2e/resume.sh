#!/usr/bin/env bash
# A download cut off by the program's sudden end (SIGKILL at about 60 % of a
# 20 MB program) goes on where it stopped the next time the row is clicked,
# and the program arrives byte for byte.
#   resume.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
first=$(head -n1 "$demo/catalogue/b01.txt" | tr -d '\r')
mark=$(head -n1 "$demo/server-address.txt" | cut -d, -f1)
folder="${mark:10:3}${mark:3:3}"
program="$work/server/$folder/fla/$first.swf"
mkdir -p "$(dirname "$program")"
head -c 20971520 /dev/urandom >"$program"
# A link of about 2 MB/s, so that the download takes a while.
NGINX_RATE=2m e2e_serve "$work/server"
log="$work/nginx/logs/access.log"
part="$app/res/fla/$first.swf.part"

e2e_start
xdotool mousemove 900 82 click 1
for _ in $(seq 300); do
  [ "$(stat -c %s "$part" 2>/dev/null || echo 0)" -ge 12582912 ] && break
  sleep 0.1
done
[ "$(stat -c %s "$part")" -ge 12582912 ] || fail "the download never reached 60 %"
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
before=$(wc -l <"$log")

e2e_start
xdotool mousemove 900 82 click 1
for _ in $(seq 300); do
  [ -s "$app/res/fla/$first.swf" ] && [ ! -e "$part" ] && break
  sleep 0.1
done
cmp -s "$program" "$app/res/fla/$first.swf" || fail "the program did not arrive byte for byte"
resumed=$(sed -n "$((before + 1))p" "$log")
case "$resumed" in
  *"|bytes=0-40960|"*) fail "the second download started over: $resumed" ;;
  *"|bytes="*) ;;
  *) fail "no request after the restart" ;;
esac
echo "PASS: after SIGKILL the download went on from ${resumed#*|} and arrived whole"
