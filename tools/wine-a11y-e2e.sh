#!/usr/bin/env bash
# A screen reader's reading of the strip under Wine: the content server (of the
# native build) publishes the demo content of content/, the real ticker.exe shows it,
# and headline_reader.exe asks the strip's window for its accessible object as a
# screen reader does:
#   1. its name is a headline of the demo content, and later another one;
#   2. its default action asks the shell to open that headline's web address (the
#      run makes ticker_probe.exe the program that opens web addresses, so nothing
#      leaves the machine, and reads what it was given).
#   tools/wine-a11y-e2e.sh build-win/ticker.exe headline_reader.exe ticker_probe.exe CONTENT_BASE_URL WINEPREFIX CONTENT_SERVER
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
reader=$(realpath "$2")
probe=$(realpath "$3")
base=$4
prefix=$(realpath -m "$5")
content_server=$6

. "$here/tools/wine-session.sh"
port=$(loopback_port "$base") || exit 1
wine_session "$prefix"
[ -x "$content_server" ] || fail "no content server at $content_server (build the native preset first)"
"$content_server" --content "$here/content" --port "$port" >"$work/server.log" 2>&1 &
server=$!
within 10 grep -q '^serving .* at http' "$work/server.log" || fail "the content server did not start"
wine_display || fail "no virtual display"
wine reg delete 'HKCU\Software\Norvale' /f >/dev/null 2>&1 || true

# The demo headlines as the server publishes them: "title<TAB>link" a line.
for code in $(sed -n 's/.*<channel code="\([a-z0-9-]*\)".*/\1/p' "$here/content/channels.xml"); do
  curl -sf "${base}headlines/$code.txt" >>"$work/headlines.txt" || fail "the server has no headlines for $code"
done
[ -s "$work/headlines.txt" ] || fail "the server published no headlines"

# Web addresses open with the probe, which writes down what it was given.
tools_dir=$WINEPREFIX/drive_c/norvale-a11y
mkdir -p "$tools_dir"
cp "$probe" "$tools_dir/ticker_probe.exe"
cp "$reader" "$tools_dir/headline_reader.exe"
cp "$work/headlines.txt" "$tools_dir/headlines.txt"
rm -f "$tools_dir/opened.txt"
for protocol in http https; do
  wine reg add "HKLM\\Software\\Classes\\$protocol\\shell\\open\\command" /ve \
    /d "\"C:\\norvale-a11y\\ticker_probe.exe\" record C:\\norvale-a11y\\opened.txt \"%1\"" /f >/dev/null 2>&1 ||
    fail "cannot make the probe the opener of $protocol addresses"
done

echo "1. the ticker comes up"
(cd "$(dirname "$exe")" && exec wine "./$(basename "$exe")") >"$work/ticker.log" 2>&1 &
program=$!

echo "2. a screen reader reads the headlines and does the default action"
code=0
wine 'C:\norvale-a11y\headline_reader.exe' 'C:\norvale-a11y\headlines.txt' 90 >"$work/reader.log" 2>"$work/reader.err" || code=$?
if [ "$code" -ne 0 ]; then
  sed 's/^/   reader: /' "$work/reader.log"
  fail "$(sed -n '1s/^FAIL: //p' "$work/reader.err" | grep . || echo "the reader ended with exit code $code: $(tail -n 3 "$work/reader.err")")"
fi
sed 's/^/   /' "$work/reader.log"

echo "3. the shell was asked to open the headline's address"
within 20 test -s "$tools_dir/opened.txt" || fail "the default action opened nothing"
opened=$(head -n 1 "$tools_dir/opened.txt" | tr -d '\r')
echo "   opened $opened"
matched=""
while read -r link; do
  # The address itself, or with the ticker's own query added.
  case "$opened" in "$link" | "$link?"* | "$link&"*) matched=$link ;; esac
done < <(sed -n 's/^opens //p' "$work/reader.log" | tr -d '\r')
[ -n "$matched" ] || fail "the default action opened '$opened', not the named headline's address"

close_ticker
echo "PASS"
