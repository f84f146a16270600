#!/usr/bin/env bash
# Builds the web version (configuring it the first time) and plays it in headless Chromium
# against the native player: run_web_test.sh SOURCE_DIR WEB_BUILD_DIR NATIVE_STARFALL OUTPUT_DIR [test options]
set -euo pipefail
SOURCE="$1" WEB="$2" NATIVE="$3" OUTPUT="$4"
shift 4
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"
if [ ! -f "$WEB/build.ninja" ]; then
  LAUNCHER=()
  if command -v ccache >/dev/null; then
    LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  emcmake cmake -S "$SOURCE" -B "$WEB" -G Ninja -DSTARFALL_WEB=ON -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}"
fi
cmake --build "$WEB"
exec /usr/bin/python3 "$SOURCE/tests/web/web_play_test.py" --web-dir "$WEB" --native "$NATIVE" --output "$OUTPUT" "$@"
