#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, when they
# are missing. Runs apt-get through sudo when not root.
set -euo pipefail
packages=(cmake ninja-build g++ libgtest-dev googletest libjpeg-dev dpkg-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb xauth x11-utils clang-format imagemagick python3 xdotool
          libx11-dev libcpp-httplib-dev libmicrohttpd-dev libpugixml-dev libxml2-dev zlib1g-dev pkg-config nsis clang libclang-rt-14-dev
          nginx wrk)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# The Windows build cross-builds libjpeg-turbo and Lua from Debian's source
# packages, so the source package index must be known to apt. The deb-src entry
# is made from the machine's own configured Debian sources (whichever mirror they
# name): every deb entry, one-line or deb822, that serves this release's suite.
src_list=/etc/apt/sources.list.d/norvale-deb-src.sources
need_update=0
have_src() {
  grep -rqs '^\(Types:.*deb-src\|deb-src \)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null
}
derive_src() {
  local codename=$1 files=()
  [ -f /etc/apt/sources.list ] && files+=(/etc/apt/sources.list)
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk -v cn="$codename" '
    function emit(uris, suites, signed,   n, i, s, keep) {
      n = split(suites, s, /[ \t]+/); keep = ""
      for (i = 1; i <= n; i++) if (s[i] == cn) keep = cn
      if (keep == "" || uris == "") return
      printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\n", uris, keep
      if (signed != "") printf "Signed-By: %s\n", signed
      printf "\n"
    }
    FNR == 1 { if (inblk && types ~ /(^| )deb( |$)/) emit(uris, suites, signed); inblk = 0; types = uris = suites = signed = "" }
    FILENAME ~ /\.list$/ || FILENAME ~ /sources\.list$/ {
      if ($1 != "deb") next
      line = $0; signed = ""
      if (match(line, /\[[^\]]*\]/)) {
        opts = substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
        if (match(opts, /signed-by=[^ ]+/)) signed = substr(opts, RSTART + 10, RLENGTH - 10)
      }
      split(line, f, /[ \t]+/)
      emit(f[2], f[3], signed)
      next
    }
    /^[ \t]*$/ { if (inblk && types ~ /(^| )deb( |$)/) emit(uris, suites, signed); inblk = 0; types = uris = suites = signed = ""; next }
    /^#/ { next }
    { inblk = 1 }
    /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
    /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
    /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
    /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); signed = $0 }
    END { if (inblk && types ~ /(^| )deb( |$)/) emit(uris, suites, signed) }
  ' "${files[@]}"
}
if [ ! -f "$src_list" ] && ! have_src; then
  . /etc/os-release
  entries=$(derive_src "$VERSION_CODENAME")
  if [ -n "$entries" ]; then
    printf '%s\n' "$entries" | $sudo tee "$src_list" >/dev/null
    need_update=1
  else
    echo "deps: no deb entry for $VERSION_CODENAME in the apt sources; source packages unavailable" >&2
  fi
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
