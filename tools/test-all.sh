#!/bin/bash
# Builds scanweaver and runs every test in two configurations, one after the
# other: the plain Release build in build-release, then a GCC build with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan. Between them
# the programs alone are built without the tests in build-no-tests and
# installed into a temporary prefix. First the sources' formatting is checked
# (tools/format.sh). Installs missing packages first. Every
# stage (configure, build, test or install) reports its elapsed seconds.
# Exits non-zero when a configuration fails to build, install or has a
# failing test.
#
# SCANWEAVER_BUILD_ROOT puts the build directories elsewhere (default: the
# repository root); SCANWEAVER_JOBS sets build and test parallelism.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=${SCANWEAVER_BUILD_ROOT:-$root}
jobs=${SCANWEAVER_JOBS:-2}

bash "$root/tools/install-deps.sh" || exit 1

# stage CONFIG STAGE COMMAND...: runs one stage of a configuration and
# reports it on one line with its elapsed seconds.
stage() {
    local config=$1 name=$2 start=$SECONDS status=0
    shift 2
    echo "=== $config: $name ..."
    "$@" || status=$?
    local outcome=done
    [ "$status" -eq 0 ] || outcome=FAILED
    echo "=== $config: $name $outcome in $((SECONDS - start)) s"
    return "$status"
}

configure() {
    local dir=$1
    shift
    mkdir -p "$dir"
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >"$dir/configure.log" 2>&1 ||
        { cat "$dir/configure.log"; return 1; }
}

build() {
    local dir=$1
    cmake --build "$dir" -j"$jobs" >"$dir/build.log" 2>&1 ||
        { grep -E -A8 'error|Error' "$dir/build.log" | tail -n 80; echo "(log: $dir/build.log)"; return 1; }
    if grep -E 'warning:' "$dir/build.log"; then echo "(the build has warnings, above)"; fi
}

# build_and_test NAME DIR CMAKE_ARGS...
build_and_test() {
    local name=$1 dir=$2
    shift 2
    stage "$name" configure configure "$dir" "$@" || return 1
    stage "$name" build build "$dir" || return 1
    stage "$name" test ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

# Installs the build into a temporary prefix and checks that the three
# programs, and nothing else, are there.
install_check() {
    local prefix program status=0
    prefix=$(mktemp -d)
    if cmake --install "$1" --prefix "$prefix" >"$1/install.log" 2>&1; then
        for program in scanweaver scanweaver-render scanweaver-demo-assets; do
            [ -x "$prefix/bin/$program" ] || { echo "$program is not installed in $prefix/bin"; status=1; }
        done
        if [ "$(find "$prefix" -type f | wc -l)" -ne 3 ]; then
            find "$prefix" -type f
            echo "more is installed than the three programs"
            status=1
        fi
    else
        cat "$1/install.log"
        status=1
    fi
    rm -rf "$prefix"
    return "$status"
}

# The programs alone, without the tests and so without GoogleTest.
build_without_tests() {
    local name=no-tests dir=$1
    stage "$name" configure configure "$dir" -DBUILD_TESTING=OFF || return 1
    stage "$name" build build "$dir" || return 1
    stage "$name" install install_check "$dir"
}

mkdir -p "$build_root"
failed=()
stage sources format bash "$root/tools/format.sh" --check || failed+=(format)
build_and_test release "$build_root/build-release" || failed+=(release)
build_without_tests "$build_root/build-no-tests" || failed+=(no-tests)

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
