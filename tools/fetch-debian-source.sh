#!/usr/bin/env bash
# Gets a Debian source package (with Debian's patches applied) into the folder
# given, for the Windows build to cross-build:
#   tools/fetch-debian-source.sh PACKAGE MARKER DEST
# MARKER is a file that the unpacked sources must hold (relative to their top);
# when DEST already holds it, nothing is fetched. tools/deps.sh makes the source
# package index available.
set -euo pipefail
package=$1
marker=$2
dest=$3
[ -f "$dest/$marker" ] && exit 0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"
if ! apt-get source --only-source "$package" >"$tmp/log" 2>&1; then
  cat "$tmp/log" >&2
  echo "cannot get Debian's $package source package; run tools/deps.sh first" >&2
  exit 1
fi
src=$(find . -maxdepth 1 -type d -name "$package-*" | head -n 1)
if [ -z "$src" ] || [ ! -f "$src/$marker" ] || [ ! -f "$src/debian/copyright" ]; then
  echo "Debian's $package source package has an unexpected layout" >&2
  exit 1
fi
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$src" "$dest"
