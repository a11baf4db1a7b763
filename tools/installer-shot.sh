#!/usr/bin/env bash
# Takes a picture of the installer's first page under Wine, on a virtual display and
# in a Wine prefix of its own, for docs/screenshots/installer.png:
#   tools/installer-shot.sh build-win/NorvaleTicker-<version>.exe PREFIX OUT.png
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
installer=$(realpath "$1")
prefix=$(realpath -m "$2")
out=$(realpath -m "$3")
. "$here/tools/wine-session.sh"
wine_session "$prefix"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
wine_display || fail "no virtual display"
wine "$installer" >"$work/installer.log" 2>&1 &
program=$!
page() {
  id=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "Norvale Desktop Ticker [0-9.]*": .*/\1/p' | head -n 1)
  [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable'
}
within 40 page || fail "the installer's window did not appear"
sleep 2 # the page's picture and text are drawn
import -window "$id" "$out"
echo "wrote $out ($(identify -format '%wx%h' "$out"))"
