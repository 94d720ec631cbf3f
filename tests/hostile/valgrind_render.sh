#!/bin/sh
# Renders one frame under memcheck; any error fails the run.
# Usage: valgrind_render.sh RENDER_BINARY WORK_DIR TIME --scene SCENE_WRITER
#        valgrind_render.sh RENDER_BINARY WORK_DIR TIME --data DATA_DIR
# With --scene the writer's small scene is made in WORK_DIR and drawn there;
# with --data the frame of DATA_DIR is drawn and written to WORK_DIR.
# Exits 77 (skipped) where valgrind is not installed.
set -u
render=$1
work=$2
time=$3
kind=$4
source=$5

if ! command -v valgrind >/dev/null 2>&1; then
    echo "valgrind is not installed: skipped"
    exit 77
fi

rm -rf "$work"
if [ "$kind" = --scene ]; then
    "$source" --write-scene "$work" || exit 1
    data=$work
else
    mkdir -p "$work" || exit 1
    data=$source
fi
cd "$data" || exit 1
valgrind --error-exitcode=99 --leak-check=no --quiet \
    "$render" --time "$time" --out "$work/frame.png" >"$work/stdout.txt" 2>"$work/stderr.txt"
status=$?
cat "$work/stderr.txt"
if [ "$status" -ne 0 ]; then
    echo "valgrind run ended with status $status"
    exit 1
fi
if [ ! -s "$work/frame.png" ]; then
    echo "no frame was written"
    exit 1
fi
echo "memcheck: no errors"
