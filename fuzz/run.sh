#!/bin/bash
# Builds the libFuzzer targets with clang and runs each one for a while,
# starting from the seeds in fuzz/corpus/<target>/. Any finding (crash,
# sanitizer report, leak, timeout, out-of-memory) makes the script exit 1;
# the input is saved as <build>/fuzz-findings/<target>-<kind>-<hash>.
#
# Usage: fuzz/run.sh [SECONDS_PER_TARGET]   (default 60)
# Environment: SCANWEAVER_FUZZ_BUILD (default <repo>/build-fuzz),
#              SCANWEAVER_FUZZ_TARGETS (default "model image triangles").
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
seconds=${1:-60}
build=${SCANWEAVER_FUZZ_BUILD:-$repo/build-fuzz}
targets=${SCANWEAVER_FUZZ_TARGETS:-model image triangles}

if ! command -v clang++-14 >/dev/null 2>&1; then
    echo "fuzz: clang++-14 is not installed" >&2
    exit 1
fi

mkdir -p "$build"
CC=clang-14 CXX=clang++-14 cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSCANWEAVER_FUZZ=ON \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
names=()
for t in $targets; do names+=("scanweaver-fuzz-$t"); done
cmake --build "$build" -j2 --target "${names[@]}" || exit 1

findings=$build/fuzz-findings
mkdir -p "$findings"
failed=()
for t in $targets; do
    work=$build/fuzz-corpus/$t
    mkdir -p "$work"
    echo "fuzz: $t for ${seconds}s"
    "$build/fuzz/scanweaver-fuzz-$t" "$work" "$here/corpus/$t" \
        -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -close_fd_mask=3 \
        -print_final_stats=1 -artifact_prefix="$findings/$t-" 2>"$build/fuzz-$t.log"
    status=$?
    if [ "$status" -eq 0 ]; then
        grep -E '^(Done|stat::)' "$build/fuzz-$t.log"
    else
        tail -n 100 "$build/fuzz-$t.log"
        echo "fuzz: $t FAILED (status $status); inputs in $findings" >&2
        failed+=("$t")
    fi
done

if [ "${#failed[@]}" -ne 0 ]; then
    echo "fuzz: findings in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: no findings"
