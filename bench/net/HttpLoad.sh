#!/usr/bin/env bash
# The web server under load: wrk with N connections (default 200) for S
# seconds (default 60) against its small page, each request on a connection
# of its own (Connection: close), then nginx serving the same body bytes in
# this one run: once with its Content-Length, once ended by the close, as
# our server ends every answer. Fails on any wrk error or a resident-memory growth of
# the server beyond 16 MiB from the warmed-up start. Everything listens on
# 127.0.0.1; nginx runs from a scratch folder with a config written there.
#
# Usage: bench/net/HttpLoad.sh [build folder (build-bench)] [seconds] [connections]
set -euo pipefail
build=${1:-build-bench}
seconds=${2:-60}
connections=${3:-200}
server_program=$build/bench/http_load_server
here=$(cd "$(dirname "$0")" && pwd)
[[ -x $server_program ]] || { echo "no $server_program: build with -DZEP3_BUILD_BENCH=ON" >&2; exit 2; }

scratch=$(mktemp -d)
chmod 755 "$scratch" # nginx's workers may run as another user
server_pid= nginx_pid=
cleanup() {
  set +e # a killed process's status must not end the cleanup before nginx is stopped
  # The server has no way out but a signal it cannot catch.
  [[ -n $server_pid ]] && kill -KILL "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap 'status=$?; cleanup; exit $status' EXIT
trap 'exit 1' INT TERM

rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# wrk's requests per second. Fails unless every answer is 200 with the
# right body, nothing failed to connect, write or time out, and every read
# error is an answer that ended with its connection (none was cut short).
load() {
  local url=$1 duration=$2 out=$scratch/wrk.txt
  wrk -t2 -c"$connections" -d"$duration"s -s "$here/HttpLoad.lua" "$url" -- "$scratch/www/small" >"$out"
  if ! awk '
      /^answers:/ { good = $2; bad = $4 }
      /Socket errors/ { gsub(",", ""); connect = $4; read = $6; write = $8; timeout = $10 }
      /Non-2xx/ { bad += $NF }
      END { exit !(good > 0 && bad == 0 && connect + write + timeout == 0 && read <= good) }' "$out"; then
    cat "$out" >&2
    echo "FAILED: errors under load at $url" >&2
    return 1
  fi
  awk '/^Requests\/sec:/ { print $2 }' "$out"
}

mkdir -p "$scratch/www"
"$server_program" "$scratch/www/small" >"$scratch/port" &
server_pid=$!
for _ in $(seq 100); do [[ -s $scratch/port ]] && break; sleep 0.1; done
port=$(head -1 "$scratch/port")
[[ -n $port ]] || { echo "the server did not start" >&2; exit 1; }
chmod 644 "$scratch/www/small"

load "http://127.0.0.1:$port/small" 5 >/dev/null # warm-up: threads, allocator
rss_before=$(rss_kib "$server_pid")
ours=$(load "http://127.0.0.1:$port/small" "$seconds")
rss_after=$(rss_kib "$server_pid")

nginx_port=$(free_port)
mkdir -p "$scratch/tmp" "$scratch/logs"
cat >"$scratch/nginx.conf" <<CONF
daemon off;
worker_processes auto;
pid $scratch/nginx.pid;
error_log $scratch/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  keepalive_timeout 0;
  client_body_temp_path $scratch/tmp;
  proxy_temp_path $scratch/tmp;
  fastcgi_temp_path $scratch/tmp;
  uwsgi_temp_path $scratch/tmp;
  scgi_temp_path $scratch/tmp;
  server {
    listen 127.0.0.1:$nginx_port;
    root $scratch/www;
    # The same bytes ended by the close, as our server ends every answer:
    # server-side includes leave the length open, and no chunks are sent.
    location /close/ {
      alias $scratch/www/;
      ssi on;
      ssi_types *;
      chunked_transfer_encoding off;
    }
  }
}
CONF
nginx -p "$scratch" -c "$scratch/nginx.conf" -e "$scratch/logs/error.log" &
nginx_pid=$!
for _ in $(seq 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $nginx_port), 1)" 2>/dev/null && break
  sleep 0.1
done
load "http://127.0.0.1:$nginx_port/small" 5 >/dev/null
peer=$(load "http://127.0.0.1:$nginx_port/small" "$seconds")
peer_close=$(load "http://127.0.0.1:$nginx_port/close/small" "$seconds")

echo "requests/s, $connections connections, ${seconds}s, one request per connection:"
echo "  ZEP3 CHTTPServer                    $ours"
echo "  nginx, with Content-Length          $peer"
echo "  nginx, answer ended by the close    $peer_close"
awk -v o="$ours" -v p="$peer" -v c="$peer_close" \
  'BEGIN { printf "  ratio ours/nginx  %.2f (with length), %.2f (ended by the close)\n", o / p, o / c }'
echo "server resident memory: ${rss_before} KiB after warm-up, ${rss_after} KiB after the run"
if (( rss_after - rss_before > 16384 )); then
  echo "FAILED: resident memory grew by $(( rss_after - rss_before )) KiB" >&2
  exit 1
fi
