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
