#!/bin/sh
# Compares two capture folders frame by frame: the decoded pixels must be identical (the
# files' bytes may differ with the encoder's settings). Needs ImageMagick's identify.
# usage: compare-captures.sh BEFORE_DIR AFTER_DIR   (exit status 1 on any difference)
set -eu
[ $# -eq 2 ] || { echo "usage: $0 BEFORE_DIR AFTER_DIR" >&2; exit 2; }
signatures() {
    # %# is the signature of the pixels alone; one process for the whole folder.
    (cd "$1" && find . -maxdepth 1 -name 'frame_*.png' | sort | sed 's|^\./||' |
        xargs -r identify -format '%f %#\n')
}
before=$(mktemp) after=$(mktemp)
trap 'rm -f "$before" "$after"' EXIT
signatures "$1" > "$before"
signatures "$2" > "$after"
common=$(join "$before" "$after" | wc -l)
differences=$(join "$before" "$after" | awk '$2 != $3 { print "pixels differ: " $1 }')
missing=$(join -v1 -v2 "$before" "$after" | awk '{ print "only in one folder: " $1 }')
[ -n "$differences" ] && echo "$differences"
[ -n "$missing" ] && echo "$missing"
echo "$common frames compared"
[ -z "$differences" ] && [ -z "$missing" ]
