#!/usr/bin/env bash
# Measures the content server's answers per second on the loopback interface for
# one channel feed document: builds an optimised server (build-bench/, no
# sanitizers) and the load tool, starts the server on a free port with the demo
# content, runs a bounded load of a few seconds, and stops the server.
#
#   bench/server_load.sh [seconds=5] [clients=4] [name=channel/world.txt]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-5}
clients=${2:-4}
name=${3:-channel/world.txt}
build=$root/build-bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target content-server -j2 >/dev/null
g++ -std=c++20 -O2 -o "$build/server_load" "$root/bench/server_load.cpp" $(pkg-config --cflags --libs cpp-httplib) -pthread

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
log=$(mktemp)
"$build/server/content-server" --content "$root/content" --port "$port" >"$log" 2>&1 &
server=$!
trap 'kill -TERM $server 2>/dev/null; wait $server 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 50); do
  grep -q '^serving' "$log" && break
  sleep 0.1
done
"$build/server_load" 127.0.0.1 "$port" "/resources/media/uk/downloads/vodazovovarar/$name" "$seconds" "$clients"
echo "server log lines: $(grep -c '^GET' "$log")"
