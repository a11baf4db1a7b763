#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, when they
# are missing. Runs apt-get through sudo when not root.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev googletest libjpeg-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth clang-format)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
