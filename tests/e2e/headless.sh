#!/bin/bash
# Runs without an X server. With no display at all, or a dead one, and no
# video driver asked for, the program refuses to run invisibly: one line on
# stderr, nothing on stdout, status 1. On SDL's dummy video driver (where the
# program falls back to SDL's software renderer): a missing start-up image
# ends start-up with one line on stderr and status 1; a complete data
# directory runs until SIGINT and ends with status 0.
# Usage: headless.sh SCANWEAVER DATA_DIR WORK_DIR
BIN=$1 DATA=$2 WORK=$3
. "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER

for display in unset :65000; do
    [ "$display" = unset ] || export DISPLAY=$display
    start_app
    wait_exit 300
    [ "$APP_STATUS" -eq 1 ] || fail "exit status $APP_STATUS with DISPLAY $display, expected 1"
    grep -qx 'scanweaver: no display (set DISPLAY, or SDL_VIDEODRIVER=dummy to run without one)' "$APP_ERR" ||
        fail "no 'no display' line on stderr with DISPLAY $display"
    [ ! -s "$APP_OUT" ] || fail "stdout is not empty with DISPLAY $display"
done
unset DISPLAY

export SDL_VIDEODRIVER=dummy
for missing in texture.bmp cool.bmp; do
    start_app "$(data_without $missing)"
    wait_exit 300
    [ "$APP_STATUS" -eq 1 ] || fail "exit status $APP_STATUS without $missing, expected 1"
    [ "$(cat "$APP_ERR")" = "Couldn't open image $missing!" ] || fail "stderr without $missing is not the expected single line"
    sed -n 1p "$APP_OUT" | grep -q '^Renderer name: software$' || fail "the dummy driver should give SDL's software renderer"
    ! grep -q '^Frame time: ' "$APP_OUT" || fail "frames were drawn without $missing"
done

start_app
wait_frames 2 600
stop_by_sigint
note "software renderer run ended by SIGINT after $(frame_count) frames"
