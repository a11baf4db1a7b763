#!/usr/bin/env bash
# The whole road under Wine: the content server publishes the demo content of
# content/ on the build's content address, and the real ticker.exe, started from
# its build folder (where the sponsor movie lies), shows the news ticker:
#   1. the ticker movie's loop comes up (channel label and headlines), and the time
#      from the start to it is printed;
#   2. two screenshots a second apart differ in the ticker area: the headlines scroll;
#   3. the sponsor logo shows in its slot, the same picture the server publishes;
#   4. the server was asked for the channel feed, the sponsor feed, the logo page,
#      the logo and the headlines;
#   5. the preferences panel opens from the menu with the preferences movie;
#   6. the server offers a newer version, and the ticker prompts for the update.
#   tools/wine-road-e2e.sh build-win/ticker.exe CONTENT_BASE_URL WINEPREFIX CONTENT_SERVER [shot-folder [nginx]]
# With a shot folder, the scrolling strip and the panel are kept there as
# ticker-scrolling.png and preferences-channels.png. With "nginx" the road is the
# one a large publisher runs: deploy/norvale-export writes a fresh export of
# content/ with CONTENT_SERVER, and nginx serves it on the content address with
# deploy/nginx's site (tools/nginx-local.sh: only the port and paths changed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
base=$2
prefix=$(realpath -m "$3")
content_server=$4
shots=${5:-}
road=${6:-content-server}
# Newer than any version of the program: the ticker movie offers the update.
offer=99.0
check=$here/tests/wine/check_road.py
left=100 top=100

. "$here/tools/wine-session.sh"
port=$(loopback_port "$base") || exit 1
wine_session "$prefix"
[ -x "$content_server" ] || fail "no content server at $content_server (build the native preset first)"
[ -f "$(dirname "$exe")/loader.swf" ] || fail "no sponsor movie beside $exe"
[ -z "$shots" ] || mkdir -p "$shots"

if [ "$road" = nginx ]; then
  command -v nginx >/dev/null || fail "no nginx (tools/deps.sh installs it)"
  . "$here/tools/nginx-local.sh"
  nginx_export "$work" "$content_server" "$here/content" "$base" "--offer-version $offer" >"$work/export.log" 2>&1 ||
    fail "the export failed: $(cat "$work/export.log")"
  nginx_local "$work/nginx" "$port" "$work/site/current" || fail "nginx did not start"
  server=$nginx
  # The checks below read nginx's access log, written as the content server's.
  ln -s "$work/nginx/access.log" "$work/server.log"
  echo "   nginx $(nginx -v 2>&1 | sed 's/.*nginx\///') serves a fresh export: $(tail -n 1 "$work/export.log")"
else
  "$content_server" --content "$here/content" --port "$port" --offer-version "$offer" >"$work/server.log" 2>&1 &
  server=$!
  within 10 grep -q '^serving .* at http' "$work/server.log" || fail "the content server did not start"
fi
wine_display || fail "no virtual display"
wine reg delete 'HKCU\Software\Norvale' /f >/dev/null 2>&1 || true

shot() { import -window root -depth 8 "ppm:$1"; }
loop_up() { shot "$work/a.ppm" && python3 "$check" loop $left $top "$work/a.ppm" >"$work/check.log" 2>&1; }
logo_shown() { shot "$work/c.ppm" && python3 "$check" logo $left $top "$work/c.ppm" "$work/logo.ppm" >"$work/check.log" 2>&1; }
convert "$here/content/sponsor/logo.jpg" -depth 8 "ppm:$work/logo.ppm"

echo "1. the ticker comes up"
started=$(date +%s.%N)
(cd "$(dirname "$exe")" && exec wine "./$(basename "$exe")") >"$work/ticker.log" 2>&1 &
program=$!
within 60 loop_up || fail "the ticker's loop did not come up ($(cat "$work/check.log"))"
up=$(date +%s.%N)
echo "   first headline on screen after $(python3 -c "print(f'{$up - $started:.1f}')") s ($(cat "$work/check.log"))"

echo "2. the headlines scroll"
shot "$work/a.ppm"
sleep 1
shot "$work/b.ppm"
python3 "$check" scrolls $left $top "$work/a.ppm" "$work/b.ppm" >"$work/check.log" 2>&1 ||
  fail "the ticker area did not change in a second ($(cat "$work/check.log"))"
echo "   $(cat "$work/check.log")"
[ -n "$shots" ] && import -window root -crop 703x25+$left+$top +repage "$shots/ticker-scrolling.png"

echo "3. the sponsor logo"
within 20 logo_shown || fail "the sponsor slot does not show the logo ($(cat "$work/check.log"))"
echo "   $(cat "$work/check.log")"

echo "4. what the server was asked for"
path=/resources/media/uk/downloads/vodazovovarar
for document in 'channel/[a-z0-9-]*\.txt' 'sponsor\.txt' 'sponsor/logo\.htm' 'sponsor/logo\.jpg' 'headlines/[a-z0-9-]*\.txt'; do
  grep -q "^GET $path/$document 200 " "$work/server.log" || fail "no request for $document"
done
echo "   $(grep -c '^GET ' "$work/server.log") requests, every document asked for"

echo "5. the preferences panel"
xdotool mousemove $((left + 703 - 5)) $((top + 12)) click 3
sleep 1
xdotool key p
panel() { xwininfo -root -tree | grep -q "(has no name): (\"ticker.exe\" \"ticker.exe\")  690x352+$left+$((top + 25)) "; }
within 10 panel || fail "the panel did not open below the strip"
within 15 grep -q "^GET $path/channels\.txt 200 " "$work/server.log" || fail "the preferences movie did not ask for the channel list"
sleep 2
[ -n "$shots" ] && import -window root -crop 703x380+$left+$top +repage "$shots/preferences-channels.png"

echo "6. the update prompt"
prompt() {
  local id
  id=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "New version available": .*/\1/p' | head -n 1)
  [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable'
}
grep -q "^GET $path/version\.txt 200 " "$work/server.log" || within 30 grep -q "^GET $path/version\.txt 200 " "$work/server.log" ||
  fail "the ticker never asked for version.txt"
within 30 prompt || fail "no update prompt for the offered version $offer"
echo "   the update prompt is shown"

close_ticker
echo "PASS"
