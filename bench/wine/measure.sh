#!/usr/bin/env bash
# Measures ticker.exe under Wine on a virtual display: the CPU time that it (and the
# Wine server and the X server working for it) spend over a window of seconds, its
# wake-ups, and its peak working set (the peak resident set of its process), for
#   scrolling  a movie whose headline scrolls at 60 frames a second
#   static     the same drawing standing still
#   none       the strip without a movie (the content server has none to give)
#   bare       a bare GDI program that scrolls the same line at 60 frames a second
#   news       the news ticker itself: the demo content of content/ published by the
#              content server (build-native/server/content-server), with the sponsor
#              movie beside ticker.exe
#   held       news with the user's "Pause scrolling" on (stored before the start), the
#              pointer away
#   paused     news with the pointer over the strip (moved there with xdotool, right
#              of the channel label), which pauses the ticker's movie
#   covered    news under a full-screen topmost window (bare_cover of the build)
#   idle       the yardstick of the two: the bare window program (bare_window of the
#              build) with the pointer over it
#   idle-covered  the bare window program under the same full-screen window
# The pointer is moved away from the strips before each case; the paused and covered
# cases start their window of seconds 3 s after the pointer moved or the cover showed.
#   bench/wine/measure.sh build-win/ticker.exe [seconds] [case...]
# With PERF=1 it also samples where the program's CPU time goes, by module; with
# THREADS=1 it lists the wake-ups of each of the program's threads, with what each
# waited in last (its kernel wait channel).
# Not a test: it reports figures. It uses port 8421 (the build's default content
# address) and a Wine prefix of its own under build-win/.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
exe=$(realpath "$1")
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(news scrolling static none bare)
bare_dir=$(dirname "$exe")/bench

. "$here/tools/wine-session.sh"
wine_session "$here/build-win/wine-bench-prefix"
tick=$(getconf CLK_TCK)

x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -municode -mwindows -static -o "$work/bare_strip.exe" "$here/bench/wine/bare_strip.cpp"

wine_display || { echo "no virtual display" >&2; exit 1; }

cpu() { awk -v t="$tick" '{ printf "%.2f", ($14 + $15) / t }' "/proc/$1/stat"; }
# Context switches of all the process's threads: how often it waits and wakes.
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }
# "TID SWITCHES WAIT" for each thread of the process, sorted by thread id.
per_thread() {
  local t
  for t in /proc/"$1"/task/*; do
    awk -v t="${t##*/}" -v w="$(cat "$t/wchan" 2>/dev/null || echo -)" \
      '/ctxt_switches/ { n += $2 } END { print t, n, w }' "$t/status"
  done | sort
}
wineserver_pid() {
  # The server of this prefix works in a folder named after the prefix's device and inode.
  local id
  id=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for p in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
    [[ $(readlink "/proc/$p/cwd") == *"/$id" ]] && echo "$p" && return
  done
}

# The top left corner "X Y" of the visible 703 x 25 window of the program named $1.
strip_at() {
  local id
  for id in $(xdotool search --onlyvisible --classname "$1" 2>/dev/null); do
    if [ "$(xdotool getwindowgeometry "$id" 2>/dev/null | awk '/Geometry/ { print $2 }')" = 703x25 ]; then
      xdotool getwindowgeometry "$id" | awk '/Position/ { split($2, p, ","); print p[1], p[2] }'
      return
    fi
  done
  return 1
}

printf '%-12s %10s %8s %10s %10s %12s %14s\n' case "cpu s" "% core" "wineserver" "X server" "wake-ups/s" "peak WS (MiB)"
for c in "${cases[@]}"; do
  case $c in
    scrolling) folder=$here/bench/wine/content-scrolling run=$exe ;;
    static) folder=$here/bench/wine/content-static run=$exe ;;
    none) folder=$here/bench/wine/content-none run=$exe ;;
    bare) folder=$here/bench/wine/content-none run=$work/bare_strip.exe ;;
    news | paused | covered | held) folder="" run=$exe ;;
    idle | idle-covered) folder=$here/bench/wine/content-none run=$bare_dir/bare_window.exe ;;
    *) echo "unknown case $c" >&2; exit 1 ;;
  esac
  wine reg delete 'HKCU\Software\Norvale' /f >/dev/null 2>&1 || true
  # A usual start, not the first: the first run opens the preferences panel by itself.
  wine reg add 'HKCU\Software\Norvale\Vodazovovarar' /v Initialized /t REG_SZ /d done /f >/dev/null 2>&1 || true
  # Held: the user's "Pause scrolling", the pointer away.
  [ "$c" != held ] || wine reg add 'HKCU\Software\Norvale\Vodazovovarar' /v PauseScrolling /t REG_SZ /d yes /f >/dev/null 2>&1 || true
  if [ -n "$folder" ]; then
    python3 "$here/tests/wine/content_server.py" 8421 "$folder" >"$work/server.log" 2>&1 &
  else
    "$here/build-native/server/content-server" --content "$here/content" --port 8421 >"$work/server.log" 2>&1 &
  fi
  server=$!
  sleep 1
  (cd "$(dirname "$run")" && exec wine "./$(basename "$run")") >/dev/null 2>&1 &
  program=$!
  sleep 12 # loaded, completed, scrolling
  cover=""
  case $c in
    paused | idle)
      read -r sx sy < <(strip_at "$(basename "$run")") || { echo "no strip of $run to point at" >&2; exit 1; }
      xdotool mousemove $((sx + 400)) $((sy + 12))
      sleep 3
      ;;
    covered | idle-covered)
      (cd "$bare_dir" && exec wine ./bare_cover.exe) >/dev/null 2>&1 &
      cover=$!
      sleep 3
      ;;
  esac
  ws=$(wineserver_pid)
  p0=$(cpu "$program"); w0=$(cpu "$ws"); x0=$(cpu "$xvfb")
  s0=$(switches "$program")
  [ "${THREADS:-0}" != 1 ] || per_thread "$program" >"$work/threads0"
  if [ "${PERF:-0}" = 1 ]; then
    perf record -q -F 999 -p "$program" -o "$work/perf.data" -- sleep "$seconds" >/dev/null 2>&1
  else
    sleep "$seconds"
  fi
  p1=$(cpu "$program"); w1=$(cpu "$ws"); x1=$(cpu "$xvfb")
  s1=$(switches "$program")
  [ "${THREADS:-0}" != 1 ] || per_thread "$program" >"$work/threads1"
  hwm=$(awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$program/status")
  awk -v c="$c" -v p="$p1 - $p0" -v w="$w1 - $w0" -v x="$x1 - $x0" -v s="$((s1 - s0))" -v n="$seconds" -v h="$hwm" \
      'function d(e, a) { split(e, a, " - "); return a[1] - a[2] }
       BEGIN { printf "%-12s %10.2f %8.2f %10.2f %10.2f %12.1f %14s\n", c, d(p), 100 * d(p) / n, d(w), d(x), s / n, h }'
  if [ "${THREADS:-0}" = 1 ]; then
    join -a 2 "$work/threads0" "$work/threads1" | awk -v c="$c" -v n="$seconds" \
      'NF == 5 { printf "  %s: thread %s %6.1f wake-ups/s, waits in %s\n", c, $1, ($4 - $2) / n, $5 }
       NF == 3 { printf "  %s: thread %s (new) %d switches, waits in %s\n", c, $1, $2, $3 }'
  fi
  if [ "${PERF:-0}" = 1 ]; then
    perf report -i "$work/perf.data" --sort "${PERF_SORT:-dso}" --stdio 2>/dev/null | grep -v "^#" | grep -v "^$" | head -n "${PERF_LINES:-12}" | sed "s/^/  $c: /"
  fi
  [ -z "$cover" ] || kill "$cover" 2>/dev/null || true
  xdotool mousemove 640 900
  wineserver -k 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  program=""
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  server=""
done
