#!/usr/bin/env bash
# Downloads as a child's click makes them, through the window: a missing
# program comes in ranges that wait several at once on one connection
# (nginx's log: one connection, requests read while others waited before
# them), byte for byte. Then, on stock nginx, which closes a connection
# after 1000 requests, a 48 MB program and a 5 MB one: both pipelined, the
# large one on one connection after the other, both whole. A program
# swapped on the server while it comes arrives as the new one, whole.
#   download.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
mark=$(head -n1 "$demo/server-address.txt" | cut -d, -f1)
folder="${mark:10:3}${mark:3:3}"
mkdir -p "$work/server/$folder/fla"
program() { echo "$work/server/$folder/fla/$(sed -n "${1}p" "$demo/catalogue/b01.txt" | tr -d '\r').swf"; }
head -c 5000000 /dev/urandom >"$(program 1)"
head -c 50331648 /dev/urandom >"$(program 2)"
head -c 5000000 /dev/urandom >"$(program 3)"
e2e_serve "$work/server"
log="$work/nginx/logs/access.log"

# Clicks row $1 of the first category and waits until its program is whole
# in the cache; leaves the program's log lines in $work/lines.
fetch_row() {
  local before name last
  before=$(wc -l <"$log")
  name=$(basename "$(program "$1")" .swf)
  xdotool mousemove 900 $((82 + 18 * ($1 - 1))) click 1
  wait_whole "$name"
  cmp -s "$(program "$1")" "$app/res/fla/$name.swf" || fail "program $1 did not arrive byte for byte"
  # nginx logs just after an answer's last byte.
  last=$((($(stat -c %s "$(program "$1")") - 2) / 40960 * 40960))
  wait_until 5 grep -q "|bytes=$last-" "$log" || fail "nginx did not log the last range of program $1"
  tail -n +$((before + 1)) "$log" | grep '/fla/' >"$work/lines" || true
}

# Every range asked once, in order, answered 206; on at most $2 connections,
# one after the other; most requests read while others waited.
check_ranges() {
  local size=$1 most=$2 expected n pipelined connections
  expected=$(( (size - 2) / 40960 + 1 ))
  n=$(wc -l <"$work/lines")
  [ "$n" -eq "$expected" ] || fail "$n requests for $size bytes, $expected expected"
  awk -F'|' -v n="$n" '{ want = "bytes=" (NR - 1) * 40960 "-" NR * 40960
      if ($2 != want || $3 != 206) { print "line " NR ": " $0; exit 1 } }' "$work/lines" ||
    fail "a range was asked out of turn or not answered 206"
  connections=$(cut -d'|' -f4 "$work/lines" | uniq | wc -l)
  [ "$connections" -eq "$(cut -d'|' -f4 "$work/lines" | sort -u | wc -l)" ] ||
    fail "connections were used side by side"
  [ "$connections" -le "$most" ] || fail "$connections connections, at most $most expected"
  pipelined=$(cut -d'|' -f6 "$work/lines" | grep -c '^p$' || true)
  [ $((pipelined * 4)) -ge $((n * 3)) ] ||
    fail "only $pipelined of $n requests waited behind another on their connection"
  echo "  $n ranges on $connections connection(s), $pipelined read while others waited"
}

e2e_start
fetch_row 1
check_ranges 5000000 1
fetch_row 2
check_ranges 50331648 3
fetch_row 3
check_ranges 5000000 1

# A program replaced on the server by another of the same size while it
# comes (a new mtime, so a new ETag): the cache holds the new one whole.
# Slower answers (2 MB/s) leave time to swap it.
kill "$pid"
wait "$pid" 2>/dev/null || true
"$scripts/nginx-serve.sh" stop "$work/nginx"
NGINX_RATE=2m e2e_serve "$work/server"
head -c 8000000 /dev/urandom >"$(program 4)"
name=$(basename "$(program 4)" .swf)
e2e_start
xdotool mousemove 900 136 click 1
wait_until 30 part_holds "$name" 2000000 || fail "the download of row 4 never reached 2 MB"
head -c 8000000 /dev/urandom >"$work/swapped.swf"
touch -d '+1 minute' "$work/swapped.swf"
mv "$work/swapped.swf" "$(program 4)"
wait_whole "$name"
cmp -s "$(program 4)" "$app/res/fla/$name.swf" ||
  fail "the program swapped during its download is not the new one whole"
echo "PASS: 5 MB, 48 MB and 5 MB programs arrived whole, their ranges pipelined on one connection" \
  "at a time; one swapped while it came arrived as the new one"
