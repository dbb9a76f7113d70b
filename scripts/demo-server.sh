#!/usr/bin/env bash
# Starts (or stops) the demo web site on 127.0.0.1 with Debian's nginx, under
# a folder of the build tree, so nothing outside the checkout is touched.
#   scripts/demo-server.sh start BUILD_DIR PORT
#   scripts/demo-server.sh stop BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
action=$1
build=$(cd "$2" && pwd)
root="$build/demo-server"
conf="$root/nginx.conf"

if [ "$action" = stop ]; then
  if [ -f "$root/nginx.pid" ]; then
    nginx -c "$conf" -p "$root" -s stop 2>/dev/null || true
  fi
  exit 0
fi

port=${3:-8780}
mkdir -p "$root/www" "$root/logs" "$root/tmp"
while IFS='|' read -r page title text; do
  [ -n "$page" ] || continue
  sed -e "s|@TITLE@|$title|" -e "s|@TEXT@|$text|" "$here/demo/site/page.htm" >"$root/www/$page"
done <"$here/demo/site/pages.txt"

# The content server: every program of the demo catalogue as a generated
# movie below the server folder that the shipped server-address file names,
# and the two files the program refreshes from the server.
mark=$(head -n1 "$here/demo/server-address.txt" | cut -d, -f1)
folder="${mark:10:3}${mark:3:3}"
swfgen="$build/tools/kibu-swfgen"
mkdir -p "$root/www/$folder/fla" "$root/www/cons"
cp "$here/demo/server-address.txt" "$root/www/cons/guihu.txt"
cp "$here/demo/version-mark.txt" "$root/www/cons/update.txt"
colours=(FFE4E1 E0FFFF FFFACD E6E6FA F0FFF0 FFEFD5 E0F0FF)
n=0
for list in "$here"/demo/catalogue/b*.txt; do
  while IFS= read -r name || [ -n "$name" ]; do
    name=${name%$'\r'}
    [ -n "$name" ] || continue
    out="$root/www/$folder/fla/$name.swf"
    if [ ! -s "$out" ]; then
      "$swfgen" --frames $((72 + (n % 5) * 24)) --rate 12 --size 550x400 \
        --background "${colours[$((n % ${#colours[@]}))]}" "$out" >/dev/null
    fi
    n=$((n + 1))
  done <"$list"
done

cat >"$conf" <<CONF
daemon on;
worker_processes 1;
pid $root/nginx.pid;
error_log $root/logs/error.log;
events { worker_connections 64; }
http {
  access_log $root/logs/access.log;
  client_body_temp_path $root/tmp;
  proxy_temp_path $root/tmp;
  fastcgi_temp_path $root/tmp;
  uwsgi_temp_path $root/tmp;
  scgi_temp_path $root/tmp;
  types { text/html htm html; application/x-shockwave-flash swf; text/plain txt; }
  default_type application/octet-stream;
  charset utf-8;
  server {
    listen 127.0.0.1:$port;
    root $root/www;
  }
}
CONF
"$0" stop "$build"
nginx -c "$conf" -p "$root"
echo "demo web site: http://127.0.0.1:$port/"
