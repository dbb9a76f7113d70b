#!/usr/bin/env bash
# Serves a folder over HTTP on 127.0.0.1 with Debian's nginx, which answers
# Range requests itself.
#   scripts/nginx-serve.sh start ROOT RUN_DIR [FIRST_PORT]   prints the port
#   scripts/nginx-serve.sh stop RUN_DIR
# The configuration, logs and pid file live in RUN_DIR, a temporary folder of
# the caller; RUN_DIR/logs/access.log has a line
# "REQUEST|RANGE|STATUS|CONNECTION|REQUEST_ON_CONNECTION|PIPE|TIME" per answer,
# PIPE being "p" for a request that was waiting behind another on its
# connection. NGINX_RATE (for example 2m) caps each answer's rate.
set -euo pipefail
action=$1

if [ "$action" = stop ]; then
  run=$2
  if [ -f "$run/nginx.pid" ]; then
    nginx -c "$run/nginx.conf" -p "$run" -s stop 2>/dev/null || true
  fi
  exit 0
fi

root=$(cd "$2" && pwd)
run=$(cd "$3" && pwd)
first=${4:-8780}
mkdir -p "$run/logs" "$run/tmp"
# Started by root, nginx's workers would become "nobody", who may not read a
# caller's private temporary folder; they stay the caller.
user_line=""
[ "$(id -u)" -eq 0 ] && user_line="user root;"

# The first free port from FIRST_PORT on.
for port in $(seq "$first" $((first + 99))); do
  cat >"$run/nginx.conf" <<CONF
daemon on;
$user_line
worker_processes 1;
pid $run/nginx.pid;
error_log $run/logs/error.log;
events { worker_connections 64; }
http {
  log_format ranges '\$request|\$http_range|\$status|\$connection|\$connection_requests|\$pipe|\$msec';
  access_log $run/logs/access.log ranges;
  client_body_temp_path $run/tmp;
  proxy_temp_path $run/tmp;
  fastcgi_temp_path $run/tmp;
  uwsgi_temp_path $run/tmp;
  scgi_temp_path $run/tmp;
  types { text/html htm html; application/x-shockwave-flash swf; text/plain txt; }
  default_type application/octet-stream;
  charset utf-8;
  server {
    listen 127.0.0.1:$port;
    root $root;
    ${NGINX_RATE:+limit_rate $NGINX_RATE;}
  }
}
CONF
  if nginx -c "$run/nginx.conf" -p "$run" 2>/dev/null; then
    echo "$port"
    exit 0
  fi
done
echo "nginx-serve: no free port between $first and $((first + 99))" >&2
exit 1
