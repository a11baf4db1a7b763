#!/usr/bin/env bash
# Gets Debian's source package of libjpeg-turbo (with Debian's patches applied) into
# the folder given, for the Windows build to cross-build. tools/deps.sh makes the
# source package index available.
set -euo pipefail
dest=$1
[ -f "$dest/CMakeLists.txt" ] && exit 0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
if ! apt-get source --only-source libjpeg-turbo >"$tmp/log" 2>&1; then
  cat "$tmp/log" >&2
  echo "cannot get Debian's libjpeg-turbo source package; run tools/deps.sh first" >&2
  exit 1
fi
src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$src" "$dest"
