#!/bin/sh
# The manual pages render without a single warning (groff -ww, mandoc's
# linter where it is installed), carry the program's version, and describe
# every command and option the program has.
#
#   man_test.sh <build dir> <page>...
set -eu
build=$1
shift
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-man-test-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

checkers=0
for page; do
    if command -v groff >/dev/null 2>&1; then
        checkers=$((checkers + 1))
        groff -mdoc -ww -z -Tutf8 "$page" 2>"$work/err" || fail "groff failed on $page"
        [ ! -s "$work/err" ] || { cat "$work/err"; fail "groff warns about $page"; }
    fi
    if command -v mandoc >/dev/null 2>&1; then
        checkers=$((checkers + 1))
        mandoc -Tlint -W warning "$page" >"$work/err" 2>&1 || { cat "$work/err"; fail "mandoc warns about $page"; }
        [ ! -s "$work/err" ] || { cat "$work/err"; fail "mandoc warns about $page"; }
    fi
    version=$("$build/vossik" version | sed -n 's/^\[VOSSIK, v\([^,]*\),.*/\1/p')
    grep -qx "\.Os vossik $version" "$page" || fail "$page is not of version $version"
done
[ "$checkers" -gt 0 ] || fail "neither groff nor mandoc is installed"

# vossik(1) has an entry for every command and every option of every
# command's listing.
main=$1
commands=$("$build/vossik" help | awk '/^COMMANDS:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }')
for c in $commands; do
    mdoc=$(printf '%s' "$c" | sed 's/-/\\\\-/g')
    grep -Eq "^\.It Ic $mdoc( |$)" "$main" || fail "$main has no entry for the command $c"
    "$build/vossik" help "$c" | sed -n 's|^  -\(.\) / --\([^ 	]*\).*|\1 \2|p' >"$work/options" || true
    while read -r letter long; do
        long=$(printf '%s' "$long" | sed 's/-/\\\\-/g')
        grep -Eq "Fl $letter( |\$)" "$main" && grep -Eq "Fl \\\\-$long( |=|\$)" "$main" ||
            fail "$main does not describe -$letter / --$long ($c)"
    done <"$work/options"
done
echo "manual page test passed"
