#!/usr/bin/env bash
# Load on the loopback interface with wrk: the steady mix of ticker requests
# (bench/ticker_mix.lua) against content-server serving content/ and against
# nginx serving a fresh export with deploy/nginx's site, at 100 and 1,000
# connections, kept alive and closed after every request (as the strip does).
# The server runs on the first core and wrk on the second (taskset), so the
# figures are one server core's. Builds an optimised server in build-bench/.
# Each run is bounded (SECONDS, default 10); nothing but 127.0.0.1 is asked.
#
#   bench/load.sh [seconds=10]
# Prints one line per run: server, connections, mode, requests per second,
# median and 99th-percentile latency, errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
build=$root/build-bench
command -v wrk >/dev/null || { echo "no wrk (tools/deps.sh installs it)" >&2; exit 1; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target content-server -j2 >/dev/null
server_bin=$build/server/content-server
ulimit -n 20000

work=$(mktemp -d)
server="" nginx=""
. "$root/tools/nginx-local.sh"
trap 'if [ -n "$server" ]; then kill -TERM "$server"; wait "$server"; fi; nginx_local_stop; rm -rf "$work"' EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

run() { # NAME PORT
  local connections mode
  for connections in 100 1000; do
    for mode in keep-alive close; do
      local env=()
      [ "$mode" = close ] && env=(CLOSE=1)
      local out
      out=$(env "${env[@]}" taskset -c 1 wrk -t2 -c"$connections" -d"${seconds}s" --timeout 5s --latency \
        -s "$root/bench/ticker_mix.lua" "http://127.0.0.1:$2" 2>&1 | grep '^RESULT' || true)
      printf '%-14s %5s connections  %-10s %s\n' "$1" "$connections" "$mode" "${out#RESULT }"
      sleep 2 # the closed connections of the run before wait out their close
    done
  done
}

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the runs"
port=$(free_port)
# One address makes all the load here: no per-address limit for this run.
# It logs every request to a file, as nginx does.
taskset -c 0 "$server_bin" --content "$root/content" --port "$port" --max-per-address 0 >"$work/server.log" 2>&1 &
server=$!
sleep 1
run content-server "$port"
kill -TERM "$server"; wait "$server" || true; server=""

nginx_export "$work" "$server_bin" "$root/content" http://127.0.0.1:8421/resources/media/uk/downloads/vodazovovarar/ >/dev/null
port=$(free_port)
# Likewise the site's per-address limit is left out of this run (a copy of the
# snippet without its limit_conn line); worker_processes 1 keeps it to one core.
NGINX_WITHOUT_ADDRESS_LIMIT=1 nginx_local "$work/nginx" "$port" "$work/site/current"
taskset -pc 0 "$nginx" >/dev/null
for worker in $(pgrep -P "$nginx"); do taskset -pc 0 "$worker" >/dev/null; done
run nginx "$port"
echo "load average after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
