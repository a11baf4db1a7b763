# Sourced by the scripts that drive the Windows build under Wine on a virtual
# display of their own, with a Wine prefix of their own:
#   . tools/wine-session.sh; wine_session PREFIX; ...; wine_display
# The caller sets $here to the repository's top. Gives a work folder $work, and at exit kills $program and $server (when the
# script set them), the Wine server and the display, and removes $work.
wine_session() {
  work=$(mktemp -d)
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  server="" xvfb="" program=""
  trap wine_session_end EXIT
}

wine_session_end() {
  set +e
  if [ -n "$program" ]; then kill "$program" 2>/dev/null; fi
  if [ -f "$WINEPREFIX/system.reg" ]; then wineserver -k 2>/dev/null; fi
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; fi
  wait 2>/dev/null
  rm -rf "$work"
}

# The port of a content address on the loopback interface, the only kind these
# runs can serve.
loopback_port() {
  if [[ ! $1 =~ ^http://127\.0\.0\.1:([0-9]+)/resources/media/uk/downloads/vodazovovarar/$ ]]; then
    echo "the content address $1 is not a loopback one that this run can serve" >&2
    return 1
  fi
  echo "${BASH_REMATCH[1]}"
}

# Ends the run as failed, with the content server's log and the end of the
# program's own output when there are any.
fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/server.log" ] && sed 's/^/  server: /' "$work/server.log" >&2
  [ -s "$work/ticker.log" ] && tail -n 20 "$work/ticker.log" | sed 's/^/  ticker.exe: /' >&2
  exit 1
}

# Polls a command for up to `seconds`; true as soon as it succeeds.
within() {
  local seconds=$1
  shift
  local until=$((SECONDS + seconds))
  while [ $SECONDS -lt "$until" ]; do
    "$@" && return 0
    sleep 0.3
  done
  return 1
}

# Serves a folder on a loopback port with tests/wine/content_server.py (logging to
# $work/server.log); false when it did not start.
start_content_server() {
  python3 "$here/tests/wine/content_server.py" "$1" "$2" >"$work/server.log" 2>&1 &
  server=$!
  within 10 grep -sqE '^(ready|cannot)' "$work/server.log" || true
  grep -q '^ready' "$work/server.log"
}

# Starts a virtual display of 1280 by 1024 (or the size given, "WxH"), and makes
# the prefix on its first use. False when the display did not come up within 5
# seconds.
wine_display() {
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || return 1
  export DISPLAY=:$(head -n 1 "$work/display")
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Asks the running $program (ticker.exe) to close as the system would, and ends the
# run as failed unless it is gone within 15 seconds with exit code 0.
close_ticker() {
  wine taskkill /im ticker.exe >/dev/null 2>&1 || true
  if ! within 15 bash -c "! kill -0 $program 2>/dev/null"; then
    fail "ticker.exe did not close when asked"
  fi
  local code
  wait "$program" && code=0 || code=$?
  program=""
  [ "$code" -eq 0 ] || fail "ticker.exe ended with exit code $code"
}

# The common start of a run against the test content server: a session in PREFIX,
# tests/wine/content_server.py on the port of the content address BASE serving
# FOLDER, the display, and no settings left from an earlier run.
#   wine_run_start BASE PREFIX FOLDER [DISPLAY-SIZE]
wine_run_start() {
  port=$(loopback_port "$1") || exit 1
  wine_session "$2"
  start_content_server "$port" "$3" || fail "the content server did not start"
  wine_display "${4:-}" || fail "no virtual display"
  wine reg delete 'HKCU\Software\Norvale' /f >/dev/null 2>&1 || true
}

# The geometry "WxH+X+Y" of the strip's window, or of the panel (the program's
# window without a caption).
geometry() {
  xwininfo -root -tree | sed -n "s/^ *0x[0-9a-f]* $1: (\"ticker.exe\" \"ticker.exe\") *\([0-9x+-]*\) .*/\1/p" | head -n 1
}
# The colour of one pixel of the screen, as "r,g,b".
pixel() {
  import -window root -depth 8 -crop "1x1+$1+$2" +repage txt:- 2>/dev/null |
    sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
light() { local p r g b; p=$(pixel "$1" "$2"); IFS=, read -r r g b <<<"$p"; [ "${r:-0}" -gt 180 ] && [ "${g:-0}" -gt 180 ] && [ "${b:-0}" -gt 180 ]; }
dark() { local p r g b; p=$(pixel "$1" "$2"); IFS=, read -r r g b <<<"$p"; [ "${r:-255}" -lt 40 ] && [ "${g:-255}" -lt 40 ] && [ "${b:-255}" -lt 40 ]; }
