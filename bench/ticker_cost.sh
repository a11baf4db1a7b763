#!/usr/bin/env bash
# What one ticker costs the road (bench/ticker_cost.py): plays the demo content
# with movie-run for HOURS of virtual time against a fresh export, then measures
# every document's answers on content-server and on nginx with deploy/nginx's
# site, both on free loopback ports, and prints a table for each. Builds an
# optimised movie-run and server in build-bench/ (no sanitizers).
#
#   bench/ticker_cost.sh [hours=13.5] [changing headlines per hour=0]
# 13.5 hours include the player's reload (13 hours after the start here); the run takes
# about a minute (movie-run plays every frame).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
hours=${1:-13.5}
changing=${2:-0}
build=$root/build-bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target content-server movie-run -j2 >/dev/null
server_bin=$build/server/content-server

work=$(mktemp -d)
server="" nginx=""
. "$root/tools/nginx-local.sh"
trap 'if [ -n "$server" ]; then kill -TERM "$server"; wait "$server"; fi; nginx_local_stop; rm -rf "$work"' EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

"$server_bin" --content "$root/content" --export "$work/tree" >/dev/null
ms=$(python3 -c "print(int($hours * 3600000))")
echo "movie-run: $hours hours of virtual time..." >&2
"$build/movie-run" "$root/content" "$work/tree" --time "$ms" >"$work/run.log"

port=$(free_port)
"$server_bin" --content "$root/content" --port "$port" >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q '^serving' "$work/server.log" && break; sleep 0.1; done
echo "## content-server"
python3 "$root/bench/ticker_cost.py" "$work/run.log" "$port" --hours "$hours" --changing "$changing" --server content-server
kill -TERM "$server"; wait "$server" || true; server=""

nginx_export "$work" "$server_bin" "$root/content" http://127.0.0.1:8421/resources/media/uk/downloads/vodazovovarar/ >/dev/null
port=$(free_port)
nginx_local "$work/nginx" "$port" "$work/site/current"
echo
echo "## nginx"
python3 "$root/bench/ticker_cost.py" "$work/run.log" "$port" --hours "$hours" --changing "$changing" --server "nginx (deploy/nginx)"
