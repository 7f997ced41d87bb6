#!/usr/bin/env bash
# Starts or stops the local HTTPS servers that the Windows tests reach:
#   serve.sh start STATE_DIR CERT_DIR WWW_SOURCE PORT UNTRUSTED_PORT NGINX_PORT [PROXY_PORT [MIRROR_PORT]]
#   serve.sh stop STATE_DIR
# PORT serves STATE_DIR/www (a copy of WWW_SOURCE) with a certificate of the test CA;
# UNTRUSTED_PORT serves the same folder with a certificate that no one trusts. Requests are
# logged to STATE_DIR/requests.log. NGINX_PORT is Debian's nginx, as a maker would set it up,
# serving STATE_DIR/nginx/www with the test CA's certificate. PROXY_PORT is a CONNECT proxy
# (proxyd.py) logging to STATE_DIR/proxy.log, which wants credentials for UNTRUSTED_PORT.
# MIRROR_PORT serves the same folder as PORT, as a second address of one update server. The
# servers are stopped by the process ids recorded here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=${1:?usage: serve.sh start|stop STATE_DIR ...}
state=${2:?state folder}

alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

stop() {
  local pidfile
  for pidfile in "$state"/httpsd-*.pid; do
    [ -f "$pidfile" ] || continue
    if alive "$pidfile"; then kill "$(cat "$pidfile")" 2>/dev/null || true; fi
    rm -f "$pidfile"
  done
}

start_one() {   # name port cert key
  local ready="$state/httpsd-$1.port"
  rm -f "$ready"
  setsid /usr/bin/python3 "$here/httpsd.py" --root "$state/www" --cert "$3" --key "$4" \
    --port "$2" --log "$state/requests.log" --ready-file "$ready" \
    </dev/null >"$state/httpsd-$1.log" 2>&1 9>&- &
  echo $! > "$state/httpsd-$1.pid"
  wait_ready "$1" "httpsd ($1) did not start on port $2:"
}

wait_ready() {   # name message: until the server's ready file is written, or it has died
  for _ in $(seq 100); do
    [ -s "$state/httpsd-$1.port" ] && return 0
    alive "$state/httpsd-$1.pid" || break
    sleep 0.1
  done
  echo "$2" >&2
  cat "$state/httpsd-$1.log" >&2
  return 1
}

start_proxy() {   # port refused-port
  local ready="$state/httpsd-proxy.port"
  rm -f "$ready"
  : > "$state/proxy.log"
  setsid /usr/bin/python3 "$here/proxyd.py" --port "$1" --refuse "$2" --log "$state/proxy.log" \
    --ready-file "$ready" </dev/null >"$state/httpsd-proxy.log" 2>&1 9>&- &
  echo $! > "$state/httpsd-proxy.pid"
  wait_ready proxy "the proxy did not start on port $1:"
}

start_nginx() {   # port cert key
  local dir="$state/nginx"
  rm -rf "$dir"
  mkdir -p "$dir/www" "$dir/tmp"
  cat > "$dir/nginx.conf" <<CONF
daemon on;
user root;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
  access_log $dir/access.log;
  client_body_temp_path $dir/tmp/body;
  proxy_temp_path $dir/tmp/proxy;
  fastcgi_temp_path $dir/tmp/fastcgi;
  uwsgi_temp_path $dir/tmp/uwsgi;
  scgi_temp_path $dir/tmp/scgi;
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$1 ssl;
    server_name localhost;
    ssl_certificate $2;
    ssl_certificate_key $3;
    root $dir/www;
  }
}
CONF
  # Its own standard streams, so that nothing waiting on ours waits on nginx as well.
  /usr/sbin/nginx -c "$dir/nginx.conf" -p "$dir" -e "$dir/error.log" </dev/null >/dev/null 2>&1 9>&- \
    || { echo "nginx did not start on port $1:" >&2; cat "$dir/error.log" >&2; return 1; }
  cp "$dir/nginx.pid" "$state/httpsd-nginx.pid"
}

case $cmd in
  start)
    certs=${3:?certificate folder}; www=${4:?www source}
    port=${5:?port}; untrusted=${6:?untrusted port}; nginx_port=${7:?nginx port}
    mkdir -p "$state"
    exec 9>"$state/.lock"
    flock 9
    stop
    "$here/make-certs.sh" "$certs"
    rm -rf "$state/www"
    cp -r "$www" "$state/www"
    : > "$state/requests.log"
    certs=$(cd "$certs" && pwd)
    start_one trusted "$port" "$certs/server.pem" "$certs/server.key"
    start_one untrusted "$untrusted" "$certs/rogue-server.pem" "$certs/rogue-server.key"
    start_nginx "$nginx_port" "$certs/server.pem" "$certs/server.key"
    [ -z "${8:-}" ] || start_proxy "$8" "$untrusted"
    [ -z "${9:-}" ] || start_one mirror "$9" "$certs/server.pem" "$certs/server.key"
    ;;
  stop)
    [ -d "$state" ] || exit 0
    exec 9>"$state/.lock"
    flock 9
    stop
    ;;
  *) echo "usage: serve.sh start|stop STATE_DIR ..." >&2; exit 2 ;;
esac
