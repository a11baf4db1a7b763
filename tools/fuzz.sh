#!/usr/bin/env bash
# Builds one fuzz target (fuzz/TARGET.cpp) as a libFuzzer program with clang, in its
# own build folder, and runs it for SECONDS, starting from the seed corpus in the
# tree. New inputs go to a scratch folder, never into the tree; an input that breaks
# the target is written to the findings folder and the run stops with an error.
# Further arguments go to the fuzzer (e.g. -max_len=65536).
#   usage: tools/fuzz.sh TARGET SECONDS [libFuzzer options...]
#   FUZZ_BUILD_DIR  the build folder (default build-fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: tools/fuzz.sh TARGET SECONDS [libFuzzer options...]"
target=${1:?$usage}
seconds=${2:?$usage}
shift 2
if [ ! -f "$root/fuzz/$target.cpp" ] || [ ! -d "$root/fuzz/corpus/$target" ]; then
  echo "fuzz: no target '$target'; the targets are:" $(cd "$root/fuzz/corpus" && ls) >&2
  exit 2
fi
case $seconds in '' | *[!0-9]*) echo "$usage" >&2; exit 2 ;; esac

build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all"
cmake -S "$root" -B "$build" -G Ninja -Wno-dev \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
  -DCMAKE_C_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link $sanitizers" \
  -DCMAKE_CXX_FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link $sanitizers" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitizers" \
  -DTICKER_FUZZ=ON -DBUILD_TESTING=OFF -DTICKER_WERROR=OFF -DTICKER_SANITIZE=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -j2

scratch=$build/corpus/$target
findings=$build/findings/$target
mkdir -p "$scratch" "$findings"
# The first folder receives what the fuzzer finds new; the tree's seeds are read only.
exec "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$@" "$scratch" "$root/fuzz/corpus/$target"
