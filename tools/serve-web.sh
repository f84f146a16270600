#!/usr/bin/env bash
# Serves a web build on 127.0.0.1 for a local look: tools/serve-web.sh [BUILD_DIR] [PORT]
# (defaults: build-web, 8019), then open http://127.0.0.1:PORT/starfall.html
set -euo pipefail
DIR="${1:-build-web}"
PORT="${2:-8019}"
if [ ! -f "$DIR/starfall.html" ] || [ ! -f "$DIR/starfall.wasm" ]; then
  echo "serve-web: no web build in $DIR (emcmake cmake -S . -B build-web -DSTARFALL_WEB=ON && cmake --build build-web)" >&2
  exit 2
fi
echo "Serving $DIR on http://127.0.0.1:$PORT/starfall.html (Ctrl+C stops)"
exec python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$DIR"
