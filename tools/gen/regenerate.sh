#!/usr/bin/env bash
# Regenerates every file of data/ from code: images, lettering, the soundtrack and the script,
# and the desktop icons in app/desktop/icons/.
# Usage: tools/gen/regenerate.sh [--check]   (--check also builds a second copy and compares bytes)
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
DATA="$(cd "$HERE/../.." && pwd)/data"
PY=/usr/bin/python3

need=()
for p in python3-numpy python3-pil lame fonts-dejavu-core; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

generate() {
  local out="$1"
  mkdir -p "$out"
  (cd "$HERE" && $PY images.py "$out" && $PY glyphs.py "$out" && $PY music.py "$out" && $PY textures.py "$out" \
    && $PY scenes.py "$out" && $PY script.py "$out/script.txt")
}

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
generate "$tmp/a"
$PY "$HERE/check.py" "$tmp/a"
if [ "${1:-}" = "--check" ]; then
  generate "$tmp/b"
  diff -r "$tmp/a" "$tmp/b" && echo "regenerate: two runs gave identical bytes"
fi
mkdir -p "$DATA"
find "$DATA" -maxdepth 1 -type f -delete
cp "$tmp/a"/* "$DATA/"
echo "regenerate: $(ls "$DATA" | wc -l) files, $(du -sh "$DATA" | cut -f1) in $DATA"
# The desktop icons are not part of the archive: they go beside the desktop entry.
(cd "$HERE" && $PY icons.py "$DATA/../app/desktop/icons")
