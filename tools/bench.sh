#!/usr/bin/env bash
# The benchmarks (figures, not tests), each as the median and the spread (lowest to
# highest) of RUNS runs:
#   1. start-up under Wine: from the launch to the strip on screen, and the peak
#      working set, of ticker.exe against the bare window program (a class and a
#      703 x 25 popup), with their ratio and difference (bench/wine/startup.sh)
#   2. the CPU of ticker.exe over BENCH_SECONDS of scrolling the demo news, against
#      the bare GDI scroller (bench/wine/measure.sh)
#   3. the wall time of the native test suite
# It builds what it measures first (both builds, with the tests). Figures go to
# docs/performance.md by hand, with the machine they ran on.
#   usage: tools/bench.sh [RUNS]      (default 5; BENCH_SECONDS default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
seconds=${BENCH_SECONDS:-60}
tools/deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows

summary() { # name, then the values
  local name=$1
  shift
  printf '%s\n' "$@" | python3 -c '
import statistics, sys
v = [float(x) for x in sys.stdin.read().split()]
print(f"{sys.argv[1]:34s} median {statistics.median(v):9.2f}  spread {min(v):9.2f} .. {max(v):9.2f}  ({len(v)} runs)")
' "$name"
}

echo "== machine"
echo "$(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)," \
  "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo); $(wine --version 2>/dev/null); $(uname -sr)"

echo "== start-up under Wine"
bench/wine/startup.sh build-win "$runs"

echo "== CPU over $seconds s of scrolling"
ticker=() bare=() peak=()
for i in $(seq "$runs"); do
  out=$(bench/wine/measure.sh build-win/ticker.exe "$seconds" news bare)
  echo "$out" | sed "s/^/run $i: /"
  ticker+=("$(echo "$out" | awk '$1 == "news" { print $3 }')")
  bare+=("$(echo "$out" | awk '$1 == "bare" { print $3 }')")
  peak+=("$(echo "$out" | awk '$1 == "news" { print $7 }')")
done
summary "ticker.exe % of a core" "${ticker[@]}"
summary "bare scroller % of a core" "${bare[@]}"
summary "ticker.exe peak WS while scrolling" "${peak[@]}"

echo "== native test suite"
walls=()
for i in $(seq "$runs"); do
  t0=$(date +%s.%N)
  ctest --preset native -j2 >/dev/null
  walls+=("$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')")
  echo "run $i: ${walls[-1]} s"
done
summary "native suite wall time (s)" "${walls[@]}"
