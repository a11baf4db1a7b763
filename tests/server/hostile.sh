#!/usr/bin/env bash
# The content server against hostile clients on the loopback interface, through
# bench/hostile.py: slow and stalled request heads, kept connections gone
# silent, header floods, unread file answers and 1,000 open connections, with a
# normal client answered within a second beside them, every slow head and silent
# kept connection cut by the head deadline, a connection past
# the per-address limit refused while another address is answered, and the
# server's peak memory under 100 MB through all of it.
#   tests/server/hostile.sh CONTENT-SERVER CONTENT-FOLDER
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
server_bin=$1
content=$2
base=/resources/media/uk/downloads/vodazovovarar/
work=$(mktemp -d)
pid=""
stop() {
  if [ -n "$pid" ]; then kill -TERM "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; fi
  pid=""
}
trap 'stop; rm -rf "$work"' EXIT

# Starts the server on a port of its choosing among free ones; sets $pid and $port.
start() {
  for _ in 1 2 3; do
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    "$server_bin" --content "$content" --port "$port" "$@" >"$work/server.log" 2>&1 &
    pid=$!
    for _ in $(seq 100); do
      grep -q '^serving' "$work/server.log" && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    stop
  done
  echo "FAIL: the server did not start"; cat "$work/server.log"; exit 1
}

hostile() {
  echo "-- $*"
  python3 "$here/bench/hostile.py" "$port" "${base}channel/world.txt" --pid "$pid" --max-peak-mb 100 "$@"
}

start --max-per-address 0 --head-timeout 4
hostile --slow 64 --stall 32 --flood 4 --hold 1 --cut-within 10
hostile --files 32 --file-path "${base}ticker4.swf"
# Alone, so that nothing else wakes the deadline's keeper: kept connections that
# fall silent after an answer are closed too.
hostile --kept 8 --cut-within 10
hostile --idle 1000
kill -0 "$pid" || { echo "FAIL: the server died"; exit 1; }
stop

start --max-per-address 16
hostile --per-address 16
echo PASS
