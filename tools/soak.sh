#!/usr/bin/env bash
# Soak run: plays the whole production N times at 9x speed, headless, under AddressSanitizer
# (leaks included) and UndefinedBehaviorSanitizer, and reports every run that leaked, raised a
# sanitizer report or did not end normally.
#   tools/soak.sh N [BUILD_DIR]
# BUILD_DIR defaults to build-asan; it is configured (Debug, -DSTARFALL_SANITIZE=ON) and the
# player built there when missing. Logs of failed runs are kept in $SOAK_WORK (default a new
# temporary folder), which is printed at the end. Exit status 0 only when every run was clean.
set -euo pipefail
if [[ $# -lt 1 || ! $1 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 N [BUILD_DIR]" >&2
  exit 2
fi
runs=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-asan}
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSTARFALL_SANITIZE=ON
fi
cmake --build "$build" --target starfall
player=$build/starfall
work=${SOAK_WORK:-$(mktemp -d /tmp/starfall-soak.XXXXXX)}
mkdir -p "$work/play"

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# The player's processor-fault guard needs its own SIGSEGV handler; leaks are checked here.
export ASAN_OPTIONS="detect_leaks=1:allow_user_segv_handler=1:use_sigaltstack=0"
# A leak report ends the run with status 23, told apart from the player's own statuses.
export LSAN_OPTIONS="suppressions=$root/tools/soak-leaks.supp:print_suppressions=0:exitcode=23"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# True when a leak report of the log has a frame in the program's own code: a file and line
# of this tree (the player is a Debug build, so its frames always carry them).
# Leaks whose every frame lies in system libraries are not the program's; some of those
# libraries are unloaded by the time of the report, and their addresses are then shown
# unsymbolized, even as offsets past the end of the player binary.
own_leaks() {
  awk -v root="$root/" '
    /^(Direct|Indirect) leak/ { inblock = 1; next }
    /^$/ { inblock = 0 }
    inblock && index($0, root) && $0 ~ /:[0-9]+(:[0-9]+)?$/ { found = 1 }
    END { exit found ? 0 : 1 }' "$1"
}

failed=0
leaked=0
started=$SECONDS
for ((run = 1; run <= runs; run++)); do
  log=$work/run-$run.log
  begin=$SECONDS
  status=0
  (cd "$work/play" && "$player" --headless --fps 25 --speed 9 --seed "$run") >"$log" 2>&1 || status=$?
  problem=""
  if grep -q "ERROR: LeakSanitizer" "$log" && own_leaks "$log"; then
    problem="leak"
    leaked=$((leaked + 1))
  elif grep -qE "ERROR: AddressSanitizer|runtime error:" "$log"; then
    problem="sanitizer report"
  elif [[ $status -ne 0 && $status -ne 23 ]]; then
    problem="exit status $status"
  fi
  if [[ -n $problem ]]; then
    failed=$((failed + 1))
    echo "run $run/$runs: FAILED ($problem) after $((SECONDS - begin)) s, log $log"
  else
    note=""
    [[ $status -eq 23 ]] && note=" (leaks inside system libraries only, not counted)"
    echo "run $run/$runs: clean in $((SECONDS - begin)) s$note"
    rm -f "$log"
  fi
done
echo "soak: $runs runs in $((SECONDS - started)) s, $failed failed ($leaked with leaks); logs in $work"
[[ $failed -eq 0 ]]
