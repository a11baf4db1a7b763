#!/usr/bin/env bash
# Start-up of ticker.exe under Wine against bare programs built by the tree, in
# turns, RUNS times each:
#   start     from the launch to a visible 703 x 25 window on the display, against
#             bare_window (a class and a 703 x 25 popup)
#   headline  from the launch to the first headline's pixels on the display, against
#             bare_headline (a 703 x 25 popup that reads the first headline from the
#             content server with WinInet once it is shown, and draws it)
#             Both are seen by screen_wait (built here with the system's cc), which
#             lists the windows and reads the screen every 2 ms: a headline is white
#             text (red, green and blue all 240 or more) right of the channel
#             label's red columns.
#   peak WS   the program's peak working set (the peak resident set of its process)
#             SETTLE seconds after the launch: the ticker has loaded its movies by
#             then and scrolls its headlines
# Prints each run, then the median and the spread (lowest to highest) of each figure
# and the ratios of the medians. Not a test: it reports figures.
#   bench/wine/startup.sh BUILD_WIN RUNS [SETTLE]
# With BEFORE_BUILD set to the build-win folder of an earlier commit, its ticker.exe
# takes its turn in every run too (the "before" of a change, in the same session).
# The ticker reads the demo content from the content server of build-native; the
# Wine prefix has the settings of one earlier run, as a user's has. Uses port 8421.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
runs=${2:-5}
settle=${3:-15}
before=""
[ -z "${BEFORE_BUILD:-}" ] || before=$(realpath "$BEFORE_BUILD")

. "$here/tools/wine-session.sh"
wine_session "$here/build-win/wine-bench-prefix"
wine_display || { echo "no virtual display" >&2; exit 1; }
cc -O2 -o "$work/screen_wait" "$here/bench/wine/screen_wait.c" -lX11
wineserver -p # one Wine server for every run, as on a desktop where Wine is up
"$here/build-native/server/content-server" --content "$here/content" --port 8421 >"$work/server.log" 2>&1 &
server=$!
sleep 1

# Sets $ms to the milliseconds from the launch of $1 (a path) until a 703 x 25 window
# is visible on the display; with a second argument "headline", $headline_ms to the
# milliseconds until the first headline's pixels show in it. The program keeps
# running as $program.
launch() {
  local exe=$1 name poll t0
  name=$(basename "$exe")
  "$work/screen_wait" 703 25 20000 ${2:-} >"$work/seen" &
  poll=$!
  t0=$(date +%s%N)
  (cd "$(dirname "$exe")" && exec wine "./$name") >/dev/null 2>&1 &
  program=$!
  wait "$poll" || { echo "$name showed no 703 x 25 window${2:+ with a headline} within 20 s" >&2; return 1; }
  ms=$((($(sed -n 1p "$work/seen") - t0) / 1000000))
  [ -z "${2:-}" ] || headline_ms=$((($(sed -n 2p "$work/seen") - t0) / 1000000))
}
peak() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
stop() {
  if [ "$1" = ticker ]; then close_ticker; else kill "$program"; wait "$program" 2>/dev/null || true; fi
  program=""
}

# One run of the ticker first: it makes its settings, as a user's first run does.
launch "$build/ticker.exe"
sleep "$settle"
stop ticker

printf '%-4s %12s %12s %14s %14s %14s %14s' run "bare ms" "ticker ms" "bare WS MiB" "ticker WS MiB" \
  "bare hl ms" "ticker hl ms"
[ -z "$before" ] || printf ' %12s %14s %14s' "before ms" "before WS MiB" "before hl ms"
echo
results=()
for i in $(seq "$runs"); do
  launch "$build/bench/bare_window.exe"; b=$ms; sleep "$settle"; bw=$(peak "$program"); stop bare
  launch "$build/ticker.exe" headline; t=$ms; th=$headline_ms; sleep "$settle"; tw=$(peak "$program"); stop ticker
  launch "$build/bench/bare_headline.exe" headline; bh=$headline_ms; sleep 1; stop bare
  row="$b $t $bw $tw $bh $th"
  if [ -n "$before" ]; then
    launch "$before/ticker.exe" headline; o=$ms; oh=$headline_ms; sleep "$settle"; ow=$(peak "$program"); stop ticker
    row="$row $o $ow $oh"
  fi
  # shellcheck disable=SC2086
  printf '%-4s %12s %12s %14s %14s %14s %14s %12s %14s %14s\n' "$i" $row | sed 's/ *$//'
  results+=("$row")
done
printf '%s\n' "${results[@]}" | python3 -c '
import statistics, sys
rows = [list(map(float, line.split())) for line in sys.stdin if line.strip()]
cols = list(zip(*rows))
names = ["bare start ms", "ticker start ms", "bare peak WS MiB", "ticker peak WS MiB", "bare headline ms",
         "ticker headline ms", "before start ms", "before peak WS MiB", "before headline ms"]
for name, col in zip(names, cols):
    print(f"{name:20s} median {statistics.median(col):8.1f}  spread {min(col):8.1f} .. {max(col):8.1f}")
m = [statistics.median(c) for c in cols]
print(f"start ratio (ticker / bare): {m[1] / m[0]:.2f}")
print(f"peak WS difference (ticker - bare): {m[3] - m[2]:+.1f} MiB")
print(f"headline ratio (ticker / bare): {m[5] / m[4]:.2f}")
if len(m) > 6:
    print(f"before: start ratio {m[6] / m[0]:.2f}, peak WS difference {m[7] - m[2]:+.1f} MiB, headline ratio {m[8] / m[4]:.2f}")
'
