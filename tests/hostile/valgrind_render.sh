#!/bin/sh
# Renders one frame of a small scene under memcheck; any error fails the run.
# Usage: valgrind_render.sh RENDER_BINARY SCENE_WRITER WORK_DIR
# Exits 77 (skipped) where valgrind is not installed.
set -u
render=$1
writer=$2
work=$3

if ! command -v valgrind >/dev/null 2>&1; then
    echo "valgrind is not installed: skipped"
    exit 77
fi

rm -rf "$work"
"$writer" --write-scene "$work" || exit 1
cd "$work" || exit 1
valgrind --error-exitcode=99 --leak-check=no --quiet \
    "$render" --time 2.5 --out frame.png >stdout.txt 2>stderr.txt
status=$?
cat stderr.txt
if [ "$status" -ne 0 ]; then
    echo "valgrind run ended with status $status"
    exit 1
fi
if [ ! -s frame.png ]; then
    echo "no frame was written"
    exit 1
fi
echo "memcheck: no errors"
