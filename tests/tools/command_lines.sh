#!/bin/bash
# The tools' command lines, one case a row: exit status, the stream that
# carries the message (out or err) and the first words of one of its lines,
# or "-" for a stream that must stay empty. Every case runs in a fresh copy
# of a small valid scene. A case that ends with status 2, or only prints
# help or version, must leave stdout or the directory untouched: nothing
# loaded, nothing written. Finally the depth picture must span grey 32 to 255.
# Usage: command_lines.sh SCANWEAVER_RENDER SCANWEAVER_DEMO_ASSETS SCENE_WRITER VERSION WORK_DIR
set -u
render=$1 demo=$2 writer=$3 version=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
scene="$work/scene"
"$writer" --write-scene "$scene" || exit 1
(cd "$scene" && : >empty.obj && printf 'v 0 0 0\nv 1 0 0\nl 1 2\n' >lines.obj && mkdir out.png &&
    ln -s /dev/full full.png) || exit 1

passed=0 failed=0

# check STATUS STREAM WORDS PROGRAM ARGS...
check() {
    local want=$1 stream=$2 words=$3 program=$4
    shift 4
    local run="$work/run" problems=()
    rm -rf "$run"
    cp -R "$scene" "$run"
    (cd "$run" && exec timeout 300 "$program" "$@" >"$work/out" 2>"$work/err")
    local status=$?
    [ "$status" -eq "$want" ] || problems+=("status $status, expected $want")
    if [ "$words" = - ]; then
        [ ! -s "$work/$stream" ] || problems+=("std$stream is not empty")
    elif ! awk -v w="$words" 'index($0, w) == 1 { found = 1 } END { exit !found }' "$work/$stream"; then
        problems+=("no line of std$stream starts with '$words'")
    fi
    if [ "$want" -eq 2 ]; then
        [ ! -s "$work/out" ] || problems+=("stdout is not empty")
        grep -q '^usage: ' "$work/err" || problems+=("no usage on stderr")
    fi
    if [ "$want" -eq 2 ] || [[ " $* " =~ " "(-h|--help|--version)" " ]]; then
        [ "$(cd "$run" && find . | sort)" = "$(cd "$scene" && find . | sort)" ] || problems+=("files were written")
    fi
    if [[ " $* " == *" --quiet "* ]] && grep -q '^# of ' "$work/out"; then
        problems+=("--quiet printed the loader's statistics")
    fi
    [ ${#problems[@]} -eq 0 ] && { passed=$((passed + 1)); return; }
    failed=$((failed + 1))
    echo "FAIL: $(basename "$program") $*: ${problems[*]}"
    sed 's/^/  stdout: /' "$work/out" | head -n 3
    sed 's/^/  stderr: /' "$work/err" | head -n 5
}

r=$render
check 0 out "usage: scanweaver-render --time T" "$r" --help
check 0 out "  --depth-out FILE  " "$r" -h
check 0 out "scanweaver-render $version" "$r" --version
check 2 err "scanweaver-render: give --time T with --out FILE, or --bench N" "$r"
check 2 err "scanweaver-render: unknown option '--frob'" "$r" --time 2 --out a.png --frob
check 2 err "scanweaver-render: unexpected argument 'a.png'" "$r" --time 2 a.png
check 2 err "scanweaver-render: --time needs a value" "$r" --time
check 2 err "scanweaver-render: --time '0.5' is not a number" "$r" --time 0.5 --out a.png
check 2 err "scanweaver-render: --bench '1' is not a whole number" "$r" --bench 1
check 2 err "scanweaver-render: --time and --bench exclude" "$r" --time 2 --bench 2
check 2 err "scanweaver-render: --time needs --out FILE" "$r" --time 2
check 2 err "scanweaver-render: --out 'a.jpg' does not end in .png, .bmp or .tga" "$r" --time 2 --out a.jpg
check 2 err "scanweaver-render: --depth-out does not go with --bench" "$r" --bench 2 --depth-out d.png
check 1 err "scanweaver-render: cannot write no/dir/a.png: No such file or directory" "$r" --time 2 --out no/dir/a.png
check 1 err "scanweaver-render: cannot write out.png: Is a directory" "$r" --time 2 --out a.png --depth-out out.png
check 1 err "scanweaver-render: cannot write full.png: No space left on device" "$r" --time 2 --out full.png
check 1 err "Couldn't load model gone.obj!" "$r" --time 2 --out a.png --model gone.obj
check 1 err "Cannot open file [models]" "$r" --time 2 --out a.png --model models
check 0 err "scanweaver-render: empty.obj: no triangles" "$r" --time 2 --out a.png --model empty.obj
check 0 err "scanweaver-render: lines.obj: no triangles" "$r" --time 2 --out a.png --model lines.obj --quiet
check 0 err "scanweaver-render: cool.bmp: no triangles" "$r" --time 2 --out a.png --model cool.bmp
check 0 out "wrote A.TGA (640x480)" "$r" --time 2 --out A.TGA --depth-out d.Bmp
check 0 out "wrote d.Bmp (640x480)" "$r" --time 2 --out A.TGA --depth-out d.Bmp
check 0 out - "$r" --time 2 --out a.png --quiet
check 0 out "frames=2 median_ms=" "$r" --bench 2 --quiet

d=$demo
check 0 out "usage: scanweaver-demo-assets" "$d" --help
check 0 out "  --version" "$d" -h
check 0 out "scanweaver-demo-assets $version" "$d" --version
check 2 err "usage: scanweaver-demo-assets" "$d"
check 2 err "scanweaver-demo-assets: unknown option '-x'" "$d" data -x
check 2 err "scanweaver-demo-assets: one OUTDIR only, not also 'b'" "$d" a b
for k in 0 5 -1 +2 ' 2' 2x 1.5 '' 4294967298; do
    check 2 err "scanweaver-demo-assets: --copies takes a whole number from 1 to 4, not '$k'" "$d" --copies "$k" data
done
# Accepted values reach the next argument's check before anything is written.
check 2 err "scanweaver-demo-assets: one OUTDIR only, not also 'b'" "$d" --copies 1 a b
check 2 err "scanweaver-demo-assets: one OUTDIR only, not also 'b'" "$d" a --copies 4 b
check 2 err "scanweaver-demo-assets: --copies needs a value" "$d" data --copies

# The depth picture: drawn cells from grey 32 (farthest) to 255 (nearest).
(cd "$scene" && "$render" --time 2 --out "$work/frame.png" --depth-out "$work/depth.png" --quiet) &&
    greys=$(convert "$work/depth.png" -format %c histogram:info:- | grep -o 'gray([0-9]*)' | tr -dc '0-9\n' | sort -n)
[ "$(echo "$greys" | sed -n 2p),$(echo "$greys" | tail -n 1)" = "32,255" ] && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: the depth picture's greys are not black and 32 to 255:" $greys; }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
