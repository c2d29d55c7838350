#!/bin/sh
# Runs fuzz targets of a libFuzzer build (make fuzz), each for a given time.
#   run.sh BUILD_DIR SECONDS TARGET...
# The repository's corpus (tests/fuzz/corpus/TARGET) is only read; new
# inputs go to BUILD_DIR/corpus/TARGET. An input that fails is written to
# BUILD_DIR/crashes/, replayed once more to show the failed property, and
# belongs in the repository's corpus once the fault is mended.
set -u
build=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/../.." && pwd)

# The fixed user and group database of the tests (see tests/fixtures).
nss=""
for lib in /usr/lib/*/libnss_wrapper.so /usr/lib/libnss_wrapper.so /usr/local/lib/libnss_wrapper.so; do
    [ -e "$lib" ] && nss=$lib && break
done
[ -n "$nss" ] || { echo "libnss_wrapper.so not found (Debian: libnss-wrapper)" >&2; exit 1; }
export LD_PRELOAD="$nss" NSS_WRAPPER_PASSWD="$root/tests/fixtures/passwd" \
    NSS_WRAPPER_GROUP="$root/tests/fixtures/group" LC_ALL=C TZ=UTC \
    ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

passed=0
failed=0
mkdir -p "$build/crashes"
for target; do
    program=$build/fuzz/fuzz_$target
    log=$build/fuzz_$target.log
    mkdir -p "$build/corpus/$target"
    rm -f "$build/crashes/$target-"*
    # The name cache keeps every user and group name asked for, and position
    # lists keep every node address they handed out (to know a stale one):
    # with them each input leaves memory behind, and libFuzzer would scan
    # for leaks after every one, a hundred times slower. make check-sanitize
    # still looks for leaks when it replays the corpus of these targets.
    leaks=1
    case $target in text_acl | edit_request | range | rename_list | options) leaks=0 ;; esac
    # The targets' own messages (stdout, stderr) are left out of the log;
    # libFuzzer's reports still reach it.
    if "$program" -max_total_time="$seconds" -timeout=10 -close_fd_mask=3 -detect_leaks=$leaks \
        -artifact_prefix="$build/crashes/$target-" \
        "$build/corpus/$target" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        echo "fuzz_$target: $(grep '^Done' "$log")"
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "fuzz_$target: FAILED (log: $log)"
        grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -n 5
        for input in "$build/crashes/$target-"*; do
            [ -e "$input" ] || continue
            echo "  input $input:"
            "$program" "$input" 2>&1 | grep -E 'property failed|runtime error|ERROR:' | head -n 3
        done
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
