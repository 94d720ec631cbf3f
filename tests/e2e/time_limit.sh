#!/bin/bash
# A run left alone: the start-up sound is played, and the run ends by itself
# in the first frame that starts more than 30 s after start-up (about 29 s
# after the first frame, which comes after a one-second pause), status 0.
# Usage: time_limit.sh SCANWEAVER DATA_DIR WORK_DIR
BIN=$1 DATA=$2 WORK=$3
. "$(dirname "$0")/lib.sh"

start_xvfb
AUDIO=disk start_app
wait_frames 1 600
first_frame=$(date +%s.%N)
wait_exit 120
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS at the time limit, expected 0"
check_console_output
check_quiet_stderr

# The first frame starts at about 1 s and the last one just after 30 s, so
# the run ends about 29 s after the first frame-time line; the upper bound
# leaves room for slow frames on a loaded machine.
duration=$(awk -v a="$first_frame" -v b="$APP_END" 'BEGIN { printf "%.1f", b - a }')
note "ended $duration s after the first frame, $(frame_count) frames"
awk -v d="$duration" 'BEGIN { exit !(d > 27) }' || fail "the run ended $duration s after its first frame, before the 30 s limit"
awk -v d="$duration" 'BEGIN { exit !(d < 60) }' || fail "the run went on for $duration s after its first frame"

# The sound device received the samples of bileet3.wav: not only silence.
[ -s "$SOUND_FILE" ] || fail "nothing was played: no output from the disk audio driver"
[ "$(tr -d '\000' <"$SOUND_FILE" | head -c 64 | wc -c)" -gt 0 ] || fail "the sound output is all silence"
