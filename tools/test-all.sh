#!/bin/bash
# Builds scanweaver and runs every test in two configurations, one after the
# other: the plain Release build in build-release, then a GCC build with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan. Installs
# missing packages first. Exits non-zero when either configuration fails to
# build or has a failing test.
#
# SCANWEAVER_BUILD_ROOT puts the two build directories elsewhere (default:
# the repository root); SCANWEAVER_JOBS sets build and test parallelism.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=${SCANWEAVER_BUILD_ROOT:-$root}
jobs=${SCANWEAVER_JOBS:-2}

bash "$root/tools/install-deps.sh" || exit 1

# build_and_test NAME DIR CMAKE_ARGS...
build_and_test() {
    local name=$1 dir=$2
    shift 2
    local start=$SECONDS
    echo "=== $name: configure and build in $dir"
    mkdir -p "$dir"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >"$dir/configure.log" 2>&1 ||
        { cat "$dir/configure.log"; echo "=== $name: configuration failed"; return 1; }
    cmake --build "$dir" -j"$jobs" >"$dir/build.log" 2>&1 ||
        { grep -E -A8 'error|Error' "$dir/build.log" | tail -n 80; echo "=== $name: build failed (log: $dir/build.log)"; return 1; }
    grep -E 'warning:' "$dir/build.log" && echo "=== $name: the build has warnings (above)"
    echo "=== $name: run the tests"
    local status=0
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" || status=1
    echo "=== $name: done in $((SECONDS - start)) s"
    return $status
}

mkdir -p "$build_root"
failed=()
build_and_test release "$build_root/build-release" || failed+=(release)

# Sanitizer runtime settings. Library allocations that SDL's back ends keep
# for the life of the process are suppressed; leaks in scanweaver never are.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
build_and_test asan "$build_root/build-asan" -DSCANWEAVER_SANITIZE=ON \
    -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ || failed+=(asan)

if [ ${#failed[@]} -gt 0 ]; then
    echo "test-all: FAILED in: ${failed[*]}" >&2
    exit 1
fi
