#!/usr/bin/env bash
# The demo web site and content server, on 127.0.0.1 with Debian's nginx.
#   scripts/demo-server.sh start BUILD_DIR RUN_DIR   prints the port it listens on
#   scripts/demo-server.sh stop RUN_DIR
# The site's files are made once below BUILD_DIR/demo-site; the configuration,
# logs and pid file live in RUN_DIR (a temporary folder of the caller).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
action=$1

if [ "$action" = stop ]; then
  exec "$here/scripts/nginx-serve.sh" stop "$2"
fi

build=$(cd "$2" && pwd)
run=$(cd "$3" && pwd)
site="$build/demo-site"
mkdir -p "$site"

# The information pages show1.htm .. show15.htm and the daily page a.htm.
while IFS='|' read -r page title text; do
  [ -n "$page" ] || continue
  sed -e "s|@TITLE@|$title|" -e "s|@TEXT@|$text|" "$here/demo/site/page.htm" >"$site/$page"
done <"$here/demo/site/pages.txt"

# Every program of the demo catalogue as a generated movie below the server
# folder that the shipped server-address file names, and the two files the
# player refreshes from the server (the version mark is the shipped one, so
# the demo never updates).
mark=$(head -n1 "$here/demo/server-address.txt" | cut -d, -f1)
folder="${mark:10:3}${mark:3:3}"
swfgen="$build/tools/kibu-swfgen"
mkdir -p "$site/$folder/fla" "$site/cons"
cp "$here/demo/server-address.txt" "$site/cons/guihu.txt"
cp "$here/demo/version-mark.txt" "$site/cons/update.txt"
colours=(FFE4E1 E0FFFF FFFACD E6E6FA F0FFF0 FFEFD5 E0F0FF)
n=0
for list in "$here"/demo/catalogue/b*.txt; do
  while IFS= read -r name || [ -n "$name" ]; do
    name=${name%$'\r'}
    [ -n "$name" ] || continue
    out="$site/$folder/fla/$name.swf"
    if [ ! -s "$out" ]; then
      "$swfgen" --frames $((72 + (n % 5) * 24)) --rate 12 --size 550x400 \
        --background "${colours[$((n % ${#colours[@]}))]}" "$out" >/dev/null
    fi
    n=$((n + 1))
  done <"$list"
done

exec "$here/scripts/nginx-serve.sh" start "$site" "$run" 8780
