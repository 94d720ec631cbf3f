#!/bin/bash
# One interactive session in a real window: the console report, the window's
# title, the textured picture on the X screen, the V key's grey depth view,
# keys that must not end the run, and Escape, which does.
# Usage: window_session.sh SCANWEAVER DATA_DIR WORK_DIR
BIN=$1 DATA=$2 WORK=$3
. "$(dirname "$0")/lib.sh"

start_xvfb
start_app
wait_frames 3 600

window=$(xdotool search --name '^my scanweaver$' | head -n 1)
[ -n "$window" ] || fail "no window titled 'my scanweaver'"
note "window $window, $(frame_count) frames so far"

screenshot "$WORK/scene.png"
note "scene: $COLOURS colours, $NONGREY of them not grey"
[ "$COLOURS" -ge 200 ] || fail "the scene shows only $COLOURS colours: not a textured picture"
[ "$NONGREY" -ge 100 ] || fail "the scene is (nearly) grey: the colour view should show"

# Holding V flips the view in every frame it is held, so the number of frames
# decides what stays on screen after release: hold it for at least one frame,
# let go, and try again until the depth view is what stays.
depth_shown=0
for attempt in $(seq 1 15); do
    n=$(frame_count)
    xdotool keydown v
    wait_frames $((n + 2)) 300
    xdotool keyup v
    wait_more_frames 2
    screenshot "$WORK/after-v-$attempt.png"
    note "V held and released ($attempt): $COLOURS colours, $NONGREY not grey"
    [ "$NONGREY" -eq 0 ] && { depth_shown=$attempt; break; }
done
[ "$depth_shown" -gt 0 ] || fail "holding and releasing V never left the grey depth view on screen"
# Drawn pixels show depth as grey 127..255, empty ones black.
[ "$BRIGHTEST" -ge 127 ] || fail "the depth view is all black"
[ "$DIMGREY" -eq 0 ] || fail "the depth view has greys between 1 and 126"

# The depth view stays while no key is pressed.
wait_more_frames 3
screenshot "$WORK/depth-later.png"
[ "$NONGREY" -eq 0 ] || fail "the depth view did not stay on after V was released"

# Neither other keys nor an Escape key-up end the run.
xdotool key a space Return Left
xdotool keyup Escape
wait_more_frames 3

# Escape key-down ends it after the frame that sees it.
xdotool keydown Escape
n=$(frame_count)
wait_exit 300
check_stopped_promptly "$n"
xdotool keyup Escape 2>/dev/null
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS after Escape, expected 0"
check_console_output
check_quiet_stderr
note "ended by Escape after $(frame_count) frames"
