#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, when they
# are missing. Runs apt-get through sudo when not root.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev googletest libjpeg-dev dpkg-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth clang-format)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# The Windows build cross-builds libjpeg-turbo from Debian's source package, so the
# source package index must be known to apt.
src_list=/etc/apt/sources.list.d/norvale-deb-src.sources
need_update=0
if [ ! -f "$src_list" ] && ! grep -rqs '^\(Types:.*deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  . /etc/os-release
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$VERSION_CODENAME" | $sudo tee "$src_list" >/dev/null
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  [ $need_update -eq 1 ] && $sudo apt-get update -qq
  exit 0
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
