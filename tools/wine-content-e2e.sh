#!/usr/bin/env bash
# The content services of the Windows build end to end under Wine: ticker.exe with its
# own movie player against a content server on the loopback interface that serves
# tests/wine/content-services. Its ticker movie asks for the channel feed (then for an
# address that answers 404, which must change nothing) and for the sponsor, checks the
# variables that the host set and paints its stage lime when they are right; the
# sponsor movie tests/wine/install/loader.swf, from the installation folder, reports
# the logo loaded, so the orange slot takes its 59 pixels left of the grab handle; then
# the ticker movie's "update" brings up the update prompt.
#   tools/wine-content-e2e.sh build-win/ticker.exe CONTENT_BASE_URL WINEPREFIX [screenshot.png]
# The prefix is made on first use and kept; each run starts without settings.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
base=$2
prefix=$(realpath -m "$3") # Wine wants it absolute
keep=${4:-}
content=$here/tests/wine/content-services
check=$here/tests/wine/check_content.py

. "$here/tools/wine-session.sh"
wine_run_start "$base" "$prefix" "$content"
settings='HKCU\Software\Norvale\Vodazovovarar'
mkdir -p "$WINEPREFIX/drive_c/norvale-test"
cp "$here/tests/wine/install/loader.swf" "$WINEPREFIX/drive_c/norvale-test/"
wine reg add "$settings" /v InstallPath /t REG_SZ /d 'C:\norvale-test' /f >/dev/null 2>&1 || fail "cannot write the settings"
wine reg add "$settings" /v Initialized /t REG_SZ /d done /f >/dev/null 2>&1 || fail "cannot write the settings"

shot() { import -window root -depth 8 "ppm:$work/shot.ppm"; }
seen() { shot && python3 "$check" "$work/shot.ppm" >"$work/check.log" 2>&1; }
prompt() {
  local id
  id=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "New version available": .*/\1/p' | head -n 1)
  [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable'
}

wine "$exe" >"$work/ticker.log" 2>&1 &
program=$!
within 40 seen || fail "no lime stage with the sponsor slot ($(cat "$work/check.log"))"
echo "   strip: $(cat "$work/check.log")"
within 20 prompt || fail "no update prompt after the movie's update command"
echo "   the update prompt is shown"
[ -n "$keep" ] && import -window root "$keep"
for name in channel.xml sponsor.xml logo.js; do
  [ "$(grep -c "GET /resources/media/uk/downloads/vodazovovarar/$name " "$work/server.log")" -eq 1 ] ||
    fail "$name was not asked for exactly once"
done
grep -q 'GET /resources/media/uk/downloads/vodazovovarar/missing.xml HTTP/1.1" 404' "$work/server.log" ||
  fail "the 404 address was never asked for"
echo "PASS"
