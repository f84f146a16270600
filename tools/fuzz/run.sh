#!/usr/bin/env bash
# Runs one fuzz target for a while on its committed corpus (new inputs go to a scratch corpus).
#   tools/fuzz/run.sh TARGET SECONDS [extra libFuzzer options]
# TARGET is archive, script, scene, font, image or cmdline (or fuzz_NAME). The targets are
# built in build-fuzz (or $FUZZ_BUILD):
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSTARFALL_FUZZ=ON -DSTARFALL_TESTS=OFF
#   cmake --build build-fuzz --target fuzz_targets
# Findings land in $FUZZ_WORK/findings/TARGET/ (default build-fuzz/fuzz-work); the exit status
# is non-zero when the target found a crash, leak, timeout or sanitizer report. One input may
# take FUZZ_TIMEOUT seconds (default 60: generous, a loaded machine stalls the sanitizers).
set -euo pipefail
if [[ $# -lt 2 ]]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/../.." && pwd)
name=${1#fuzz_}
seconds=$2
shift 2
build=${FUZZ_BUILD:-$root/build-fuzz}
work=${FUZZ_WORK:-$build/fuzz-work}
binary=$build/tests/fuzz/fuzz_$name
corpus=$root/tests/fuzz/corpus/$name
if [[ ! -x $binary ]]; then
  echo "$binary is missing: build the fuzz targets first (see the top of this script)" >&2
  exit 2
fi
if [[ ! -d $corpus ]]; then
  echo "no corpus for $name in tests/fuzz/corpus/" >&2
  exit 2
fi
mkdir -p "$work/corpus/$name" "$work/findings/$name" "$work/cwd"
work=$(cd "$work" && pwd)  # the target runs in $work/cwd
options=(-max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout="${FUZZ_TIMEOUT:-60}"
         -print_final_stats=1 -close_fd_mask=2 -artifact_prefix="$work/findings/$name/")
dictionary=$root/tests/fuzz/$name.dict
[[ -f $dictionary ]] && options+=(-dict="$dictionary")
# An empty working folder: a name the input invents never finds a real file on disk.
cd "$work/cwd"
exec "$binary" "${options[@]}" "$@" "$work/corpus/$name" "$corpus"
