#!/bin/sh
# Runs a sanitizer build's tests: run-sanitized-tests.sh <build folder> address|thread
# Every report, also one from a child process whose exit status a test does
# not look at (mg.exe, ar.exe), is written to <build folder>/sanitizer-logs;
# the run fails when the tests fail or when any report was written.
set -u
build=$1
kind=$2
here=$(cd "$(dirname "$0")/.." && pwd)
supp=$here/sanitizers
logs=$(cd "$build" && pwd)/sanitizer-logs
rm -rf "$logs"
mkdir -p "$logs"

case $kind in
address)
    export ASAN_OPTIONS="detect_leaks=1:strict_init_order=1:log_path=$logs/asan"
    export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp:log_path=$logs/ubsan"
    run=""
    ;;
thread)
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$supp/tsan.supp log_path=$logs/tsan"
    # TSan's fixed memory layout does not fit an address space randomised
    # with more than 28 bits (newer kernels' default): then run without.
    run=""
    bits=$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 0)
    [ "$bits" -gt 28 ] && run="setarch $(uname -m) -R"
    ;;
*)
    echo "usage: $0 <build folder> address|thread" >&2
    exit 2
    ;;
esac

cd "$build" || exit 2
QT_QPA_PLATFORM=offscreen $run ctest --output-on-failure -j "${JOBS:-$(nproc)}"
tests=$?

reports=$(find "$logs" -type f | sort)
if [ -n "$reports" ]; then
    for report in $reports; do
        echo "==== $report"
        cat "$report"
    done
    echo "$kind sanitizer: $(echo "$reports" | wc -l) report(s) in $logs" >&2
    exit 1
fi
[ "$tests" -eq 0 ] || exit "$tests"
echo "$kind sanitizer: no reports"
