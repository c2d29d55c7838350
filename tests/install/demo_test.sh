#!/bin/sh
# make demo on a build directory of its own, as on a fresh clone: it shows
# the sample listings and builds the program without any test target.
#
#   demo_test.sh <source dir> <scratch build dir>
set -eu
src=$1 build=$2
unset MAKEFLAGS MFLAGS MAKELEVEL
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$build"
trap 'rm -rf "$build"' EXIT INT TERM
log=$(mktemp "${TMPDIR:-/tmp}/vossik-demo-test-XXXXXX")
trap 'rm -rf "$build" "$log"' EXIT INT TERM

make -s -C "$src" BUILD="$build" demo >"$log" 2>&1 || { cat "$log"; fail "make demo"; }
for style in default brief samba icacls; do
    grep -q "^=== vossik -S $style -r list-access sample$" "$log" || { cat "$log"; fail "no $style listing"; }
done
if [ "$(id -u)" -eq 0 ]; then
    grep -q 'user:daemon' "$log" || { cat "$log"; fail "the sample ACLs are missing"; }
fi
[ -x "$build/vossik" ] || fail "no program built"
built_tests=$(find "$build" -name '*_test' -type f | head -5)
[ -z "$built_tests" ] || fail "make demo built tests: $built_tests"
[ -z "$(find "$build" -name 'libvossik_test_support*' | head -1)" ] || fail "make demo built the test support library"
echo "demo test passed"
