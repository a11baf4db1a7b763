#!/usr/bin/env bash
# The benchmarks (figures, not tests), each as the median and the spread (lowest to
# highest) of RUNS runs:
#   startup    start-up under Wine: from the launch to the strip on screen, and the
#              peak working set, of ticker.exe against the bare window program (a
#              class and a 703 x 25 popup); from the launch to the first headline's
#              pixels on the display against bare_headline (bench/wine/startup.sh)
#   scrolling  the CPU of ticker.exe over BENCH_SECONDS of scrolling the demo news,
#              against the bare GDI scroller (bench/wine/measure.sh)
#   idle       the CPU and the wake-ups (context switches of all its threads) of
#              ticker.exe over BENCH_IDLE_SECONDS paused under the pointer, and
#              covered by a full-screen window, against the bare window program in
#              the same places (bench/wine/measure.sh)
#   suite      the wall time of the native test suite
# BENCH_ONLY (a comma-separated list of the names above) runs only those. It builds
# what it measures first (both builds, with the tests), unless BENCH_BUILD=0 (then
# build-win's ticker.exe and bench/ and build-native's content-server must be there). Figures go to
# docs/performance.md by hand, with the machine they ran on. Each Wine run holds
# /tmp/ticker-wine.lock, the lock of everything that uses port 8421 and Wine.
#   usage: tools/bench.sh [RUNS]      (default 5; BENCH_SECONDS default 60,
#                                      BENCH_IDLE_SECONDS default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
seconds=${BENCH_SECONDS:-60}
idle_seconds=${BENCH_IDLE_SECONDS:-30}
only=${BENCH_ONLY:-startup,scrolling,idle,suite}
for name in ${only//,/ }; do
  case $name in startup | scrolling | idle | suite) ;; *) echo "BENCH_ONLY: no figure named $name" >&2; exit 1 ;; esac
done
wanted() { [[ ",$only," == *",$1,"* ]]; }
if [ "${BENCH_BUILD:-1}" != 0 ]; then
  tools/deps.sh
  cmake --preset native >/dev/null
  cmake --build --preset native
  cmake --preset windows >/dev/null
  cmake --build --preset windows
fi

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

if wanted startup; then
  echo "== start-up under Wine"
  flock /tmp/ticker-wine.lock bench/wine/startup.sh build-win "$runs"
fi

if wanted scrolling; then
  echo "== CPU over $seconds s of scrolling"
  ticker=() bare=() peak=()
  for i in $(seq "$runs"); do
    out=$(flock /tmp/ticker-wine.lock bench/wine/measure.sh build-win/ticker.exe "$seconds" news bare)
    echo "$out" | sed "s/^/run $i: /"
    ticker+=("$(echo "$out" | awk '$1 == "news" { print $3 }')")
    bare+=("$(echo "$out" | awk '$1 == "bare" { print $3 }')")
    peak+=("$(echo "$out" | awk '$1 == "news" { print $7 }')")
  done
  summary "ticker.exe % of a core" "${ticker[@]}"
  summary "bare scroller % of a core" "${bare[@]}"
  summary "ticker.exe peak WS while scrolling" "${peak[@]}"
fi

if wanted idle; then
  echo "== CPU and wake-ups over $idle_seconds s paused under the pointer and covered"
  cases=(paused idle covered idle-covered)
  declare -A cpu=() wake=()
  for i in $(seq "$runs"); do
    out=$(flock /tmp/ticker-wine.lock bench/wine/measure.sh build-win/ticker.exe "$idle_seconds" "${cases[@]}")
    echo "$out" | sed "s/^/run $i: /"
    for c in "${cases[@]}"; do
      cpu[$c]+=" $(echo "$out" | awk -v c="$c" '$1 == c { print $3 }')"
      wake[$c]+=" $(echo "$out" | awk -v c="$c" '$1 == c { print $6 }')"
    done
  done
  summary "paused ticker.exe % of a core" ${cpu[paused]}
  summary "bare window under pointer %" ${cpu[idle]}
  summary "covered ticker.exe % of a core" ${cpu[covered]}
  summary "covered bare window %" ${cpu[idle-covered]}
  summary "paused ticker.exe wake-ups/s" ${wake[paused]}
  summary "bare window wake-ups/s" ${wake[idle]}
  summary "covered ticker.exe wake-ups/s" ${wake[covered]}
  summary "covered bare window wake-ups/s" ${wake[idle-covered]}
fi

wanted suite || exit 0
echo "== native test suite"
walls=()
for i in $(seq "$runs"); do
  t0=$(date +%s.%N)
  ctest --preset native -j2 >/dev/null
  walls+=("$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')")
  echo "run $i: ${walls[-1]} s"
done
summary "native suite wall time (s)" "${walls[@]}"
