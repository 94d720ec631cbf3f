#!/bin/bash
# The standard output of both programs on the demo scene, pinned by hashes:
# scanweaver-render's for one frame, and the window program's up to its
# first frame line (renderer report under SDL's dummy driver, then the
# loader's statistics), the frame-time lines left out since they are timings.
# Usage: golden_output.sh SCANWEAVER SCANWEAVER_RENDER DATA_DIR WORK_DIR
BIN=$1 RENDER=$2 DATA=$3 WORK=$4
. "$(dirname "$0")/../e2e/lib.sh"

render_hash=95c28ba9ac6adf39
window_hash=8d5ef3397f01bfc4

(cd "$DATA" && "$RENDER" --time 1.1 --out "$WORK/frame.png" >"$WORK/render-stdout.txt") ||
    fail "scanweaver-render failed"
# The "wrote FILE" line names the work directory, which depends on the build.
got=$(sed "s|^wrote $WORK/|wrote |" "$WORK/render-stdout.txt" | sha256sum | cut -c1-16)
[ "$got" = "$render_hash" ] || fail "scanweaver-render's standard output changed: hash $got, expected $render_hash"

export SDL_VIDEODRIVER=dummy
unset DISPLAY
start_app
wait_frames 1 600
stop_by_sigint
got=$(grep -v '^Frame time: ' "$APP_OUT" | sha256sum | cut -c1-16)
[ "$got" = "$window_hash" ] || fail "scanweaver's standard output changed: hash $got, expected $window_hash"
note "both programs' standard output as recorded"
