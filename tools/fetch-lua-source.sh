#!/usr/bin/env bash
# Gets Debian's source package of Lua 5.4 (with Debian's patches applied) into the
# folder given, for the Windows build to cross-build. tools/deps.sh makes the source
# package index available.
set -euo pipefail
dest=$1
[ -f "$dest/src/lua.h" ] && exit 0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
if ! apt-get source --only-source lua5.4 >"$tmp/log" 2>&1; then
  cat "$tmp/log" >&2
  echo "cannot get Debian's lua5.4 source package; run tools/deps.sh first" >&2
  exit 1
fi
src=$(find . -maxdepth 1 -type d -name 'lua5.4-*' | head -n 1)
if [ -z "$src" ] || [ ! -f "$src/src/lua.h" ] || [ ! -f "$src/debian/copyright" ]; then
  echo "Debian's lua5.4 source package has an unexpected layout" >&2
  exit 1
fi
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$src" "$dest"
