#!/bin/sh
# make install / make uninstall into a scratch DESTDIR: every file in its
# place and nothing else, the multi-call links named after every command of
# the program's listing, a file of someone else's left alone, and nothing of
# ours left after uninstall.
#
#   install_test.sh <source dir> <build dir>
set -eu
src=$1 build=$2
unset MAKEFLAGS MFLAGS MAKELEVEL
work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-install-test-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }
domake() { make -s -C "$src" BUILD="$build" "$@" >"$work/make.log" 2>&1 || { cat "$work/make.log"; fail "make $*"; }; }
files() { (cd "$1" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); }

commands=$("$build/vossik" help | awk '/^COMMANDS:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }')
[ -n "$commands" ] || fail "no commands in the help listing"

# PREFIX=/usr with the links; a file named like a command is someone else's.
dest=$work/dest
mkdir -p "$dest/usr/bin"
echo mine >"$dest/usr/bin/help"
domake install DESTDIR="$dest" PREFIX=/usr LINKS=1
grep -q "usr/bin/help: exists and is not a link to vossik, left alone" "$work/make.log" ||
    fail "no word about the foreign usr/bin/help"
{
    printf '%s\n' usr/bin/vossik usr/share/man/man1/vossik.1.gz usr/share/man/man7/vossik-acl.7.gz \
        usr/share/bash-completion/completions/vossik
    for c in $commands; do echo "usr/bin/$c"; done
} | LC_ALL=C sort >"$work/expected"
files "$dest" >"$work/actual"
diff -u "$work/expected" "$work/actual" || fail "installed files differ"

[ "$(cat "$dest/usr/bin/help")" = mine ] || fail "the foreign usr/bin/help was changed"
for c in $commands; do
    [ "$c" = help ] && continue
    [ -L "$dest/usr/bin/$c" ] && [ "$(readlink "$dest/usr/bin/$c")" = vossik ] ||
        fail "usr/bin/$c is not a link to vossik"
done
[ -x "$dest/usr/bin/vossik" ] || fail "usr/bin/vossik is not executable"
# The links run the command they are named after.
[ "$("$dest/usr/bin/echo-text" multi call)" = "multi call" ] || fail "echo-text link"
"$dest/usr/bin/vossik" version | grep -q '^\[VOSSIK, v' || fail "installed vossik version"
for page in man1/vossik.1 man7/vossik-acl.7; do
    gzip -t "$dest/usr/share/man/$page.gz" || fail "$page.gz is no gzip file"
    gzip -dc "$dest/usr/share/man/$page.gz" | grep -q '^\.Dt ' || fail "$page.gz is no manual page"
done
cmp "$src/contrib/bash-completion/vossik" "$dest/usr/share/bash-completion/completions/vossik" ||
    fail "completion file differs from the source"

# A second install changes nothing and says nothing new about our links.
domake install DESTDIR="$dest" PREFIX=/usr LINKS=1
files "$dest" | diff -u "$work/expected" - || fail "second install differs"

domake uninstall DESTDIR="$dest" PREFIX=/usr
[ "$(files "$dest")" = usr/bin/help ] || { files "$dest"; fail "uninstall left files (or took the foreign one)"; }

# Default prefix, no links.
dest=$work/default
domake install DESTDIR="$dest"
printf '%s\n' usr/local/bin/vossik usr/local/share/bash-completion/completions/vossik \
    usr/local/share/man/man1/vossik.1.gz usr/local/share/man/man7/vossik-acl.7.gz |
    LC_ALL=C sort >"$work/expected"
files "$dest" | diff -u "$work/expected" - || fail "default install differs"
domake uninstall DESTDIR="$dest"
[ -z "$(files "$dest")" ] || fail "default uninstall left files"
echo "install test passed"
