# Helpers for the end-to-end tests: they run the real scanweaver program in a
# data directory, under an Xvfb server of their own where a window is needed,
# drive it with xdotool as a person would and read its console output and the
# X screen.
#
# A test script sources this file after setting
#   BIN   the scanweaver executable
#   DATA  the data directory the program runs in
#   WORK  a directory for this test's output (emptied here)
# Everything waits by polling with generous limits: a frame of the full scene
# may take a fraction of a second on a loaded machine, and more under
# AddressSanitizer.

set -u

fail() {
    echo "FAIL: $*"
    [ -f "${APP_OUT:-}" ] && { echo "--- stdout:"; head -n 15 "$APP_OUT"; echo ...; tail -n 5 "$APP_OUT"; }
    [ -s "${APP_ERR:-}" ] && { echo "--- stderr:"; head -n 40 "$APP_ERR"; }
    exit 1
} >&2

note() { echo "-- $*"; }

[ -x "$BIN" ] || fail "no executable at $BIN"
[ -d "$DATA" ] || fail "no data directory at $DATA"
rm -rf "$WORK"
mkdir -p "$WORK"

APP_PID="" XVFB_PID=""
app_running() { [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; }

cleanup() {
    app_running && kill -KILL "$APP_PID" && wait "$APP_PID"
    [ -n "$XVFB_PID" ] && kill -TERM "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID"
} 2>/dev/null
trap cleanup EXIT

# Starts an X server on a display number it picks itself, so that tests that
# run at the same time never share one, and points DISPLAY at it. Skips the
# test (status 77) when Xvfb is not installed.
start_xvfb() {
    command -v Xvfb >/dev/null 2>&1 || { echo "SKIP: Xvfb is not installed"; exit 77; }
    local c displayFile="$WORK/xvfb.display" i
    for c in xdotool xwd convert; do command -v "$c" >/dev/null 2>&1 || fail "needs the command '$c'"; done
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$displayFile" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for i in $(seq 1 300); do
        grep -q '^[0-9][0-9]*$' "$displayFile" 2>/dev/null && break
        kill -0 "$XVFB_PID" 2>/dev/null || { cat "$WORK/xvfb.log" >&2; fail "Xvfb did not start"; }
        [ "$i" -lt 300 ] || fail "Xvfb did not report a display within 30 s"
        sleep 0.1
    done
    export DISPLAY=":$(cat "$displayFile")"
    note "Xvfb on $DISPLAY"
}

# Starts the program in directory $1 (default $DATA) with SIGINT at its
# default disposition, as from a terminal (a shell without job control starts
# background commands with SIGINT ignored, and SDL leaves ignored signals
# alone). Sound goes to SDL's dummy driver, or with AUDIO=disk to its disk
# driver, into $SOUND_FILE, so that a test can tell whether the start-up sound
# was played.
start_app() {
    APP_OUT="$WORK/stdout.txt" APP_ERR="$WORK/stderr.txt" SOUND_FILE="$WORK/sound.raw"
    rm -f "$SOUND_FILE"
    (cd "${1:-$DATA}" && SDL_AUDIODRIVER="${AUDIO:-dummy}" SDL_DISKAUDIOFILE="$SOUND_FILE" \
        exec env --default-signal=INT "$BIN" >"$APP_OUT" 2>"$APP_ERR") &
    APP_PID=$!
}

# Prints the path of a copy of the data directory (made of links) without file $1.
data_without() {
    local dir="$WORK/without-$1" entry
    mkdir -p "$dir"
    for entry in "$(cd "$DATA" && pwd)"/*; do [ "$(basename "$entry")" = "$1" ] || ln -s "$entry" "$dir/"; done
    echo "$dir"
}

frame_count() { cat "$APP_OUT" 2>/dev/null | grep -c '^Frame time: '; }

# Waits until at least $1 frame-time lines have been printed; fails after $2
# seconds or when the program ends first.
wait_frames() {
    local deadline=$(($(date +%s) + $2))
    while [ "$(frame_count)" -lt "$1" ]; do
        app_running || fail "the program ended before frame $1"
        [ "$(date +%s)" -lt "$deadline" ] || fail "no frame $1 within $2 s"
        sleep 0.05
    done
}

wait_more_frames() { wait_frames $(($(frame_count) + $1)) 300; }

# Waits up to $1 seconds for the program to end and sets APP_STATUS.
wait_exit() {
    local deadline=$(($(date +%s) + $1))
    while app_running; do
        [ "$(date +%s)" -lt "$deadline" ] || fail "the program still runs after $1 s"
        sleep 0.05
    done
    APP_STATUS=0
    wait "$APP_PID" || APP_STATUS=$?
    APP_END=$(date +%s.%N) APP_PID=""
}

# Fails unless the run ended in the frame after a stop request (or the one in
# progress when it came): at most a few frame-time lines after $1, the count
# read once the request was sent. A run that ignored the request would go on
# to its 30-second limit.
check_stopped_promptly() {
    local extra=$(($(frame_count) - $1))
    [ "$extra" -le 3 ] || fail "$extra more frames after the stop request: it was not acted on at once"
}

# Checks the whole standard output of a finished run: the renderer report
# first (name, the "Texture formats: " line, one pixel-format name a line),
# then whatever model loading prints, and from the first frame on nothing but
# frame-time lines; the last line is a complete one, since the frame that sees
# a stop request is still finished.
check_console_output() {
    local out="$APP_OUT" first bad
    sed -n 1p "$out" | grep -Eq '^Renderer name: .+$' || fail "stdout does not start with 'Renderer name: '"
    [ "$(sed -n 2p "$out")" = "Texture formats: " ] || fail "line 2 of stdout is not 'Texture formats: '"
    sed -n 3p "$out" | grep -Eq '^SDL_PIXELFORMAT_[A-Z0-9_]+$' || fail "line 3 of stdout is not a pixel-format name"
    first=$(grep -n -m1 '^Frame time: ' "$out" | cut -d: -f1)
    [ -n "$first" ] || fail "no frame-time line"
    bad=$(tail -n +"$first" "$out" | grep -Evn '^Frame time: [0-9.e+-]+ms$' | head -n 3)
    [ -z "$bad" ] || fail "lines after the first frame that are not frame times: $bad"
    [ "$(tail -c 1 "$out" | od -An -c | tr -d ' ')" = '\n' ] || fail "the last frame-time line is cut off"
}

# Fails when the program wrote to stderr, apart from the notice that SDL's
# disk audio driver prints about itself.
check_quiet_stderr() {
    if grep -v -e '^CRITICAL: You are using the SDL disk i/o audio driver!$' \
        -e '^CRITICAL:  Writing to file \[.*\]\.$' "$APP_ERR" | grep -q .; then
        fail "the program wrote to stderr"
    fi
}

# Sends SIGINT, which SDL turns into a quit event, and checks that the run
# ends at once with status 0 and clean console output.
stop_by_sigint() {
    kill -INT "$APP_PID"
    local n=$(frame_count)
    wait_exit 300
    check_stopped_promptly "$n"
    [ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS after SIGINT, expected 0"
    check_console_output
    check_quiet_stderr
}

# Saves a screenshot of the whole X screen as PNG file $1, and reads it: sets
# COLOURS (distinct colours), NONGREY (distinct colours with R, G, B not all
# equal), BRIGHTEST (highest channel value) and DIMGREY (distinct greys other
# than black darker than 127).
screenshot() {
    xwd -root -silent | convert xwd:- "png:$1" || fail "could not take a screenshot"
    read -r COLOURS NONGREY BRIGHTEST DIMGREY < <(convert "$1" -format %c histogram:info:- | awk '
        match($0, /\( *[0-9]+, *[0-9]+, *[0-9]+/) {
            split(substr($0, RSTART + 1, RLENGTH - 1), c, ",")
            r = c[1] + 0; g = c[2] + 0; b = c[3] + 0
            colours++
            if (r != g || g != b) nongrey++
            else if (r > 0 && r < 127) dim++
            max = r > max ? r : max; max = g > max ? g : max; max = b > max ? b : max
        }
        END { printf "%d %d %d %d\n", colours, nongrey, max, dim }')
    [ "${COLOURS:-0}" -gt 0 ] || fail "could not read $1"
}
