#!/bin/bash
# A run in a copy of the data without "bileet3.wav": the missing sound goes
# unnoticed (no device is opened, nothing is reported) and the scene shows as
# usual. SIGINT, which SDL turns into a quit event like closing the window,
# ends the run after the current frame with status 0.
# Usage: quit_signal.sh SCANWEAVER DATA_DIR WORK_DIR
BIN=$1 DATA=$2 WORK=$3
. "$(dirname "$0")/lib.sh"

silent=$(data_without bileet3.wav)
[ -e "$silent/texture.bmp" ] || fail "the data directory has no texture.bmp"

start_xvfb
AUDIO=disk start_app "$silent"
wait_frames 3 600
screenshot "$WORK/scene.png"
note "scene without sound: $COLOURS colours"
[ "$COLOURS" -ge 200 ] || fail "the scene shows only $COLOURS colours"

wait_more_frames 3
stop_by_sigint
[ ! -e "$SOUND_FILE" ] || fail "an audio device was opened although there is no sound file"
note "ended by SIGINT after $(frame_count) frames"
