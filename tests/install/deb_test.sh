#!/bin/sh
# make deb: the package holds the program, its manual pages and the bash
# completion and nothing else, says what it is, depends on the readline
# library it links, and its program runs.
#
#   deb_test.sh <source dir> <build dir> <version>
set -eu
src=$1 build=$2 version=$3
unset MAKEFLAGS MFLAGS MAKELEVEL
command -v dpkg-deb >/dev/null 2>&1 || { echo "no dpkg-deb: not a Debian system"; exit 77; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-deb-test-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$build/vossik_${version}_$(dpkg --print-architecture).deb
rm -f "$deb"
make -s -C "$src" BUILD="$build" deb >"$work/make.log" 2>&1 || { cat "$work/make.log"; fail "make deb"; }
[ -f "$deb" ] || fail "no $deb"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort >"$work/actual"
printf '%s\n' ./usr/bin/vossik ./usr/share/bash-completion/completions/vossik \
    ./usr/share/man/man1/vossik.1.gz ./usr/share/man/man7/vossik-acl.7.gz | LC_ALL=C sort >"$work/expected"
diff -u "$work/expected" "$work/actual" || fail "package contents differ"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vossik ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
field Depends | grep -Eq '(^|, )libreadline[0-9]+( |,|$)' || fail "Depends without readline: $(field Depends)"
field Depends | grep -Eq '(^|, )libc6( |,|$)' || fail "Depends without libc6: $(field Depends)"
field Description | head -1 | grep -q 'NFSv4 ACLs' || fail "Description: $(field Description)"
[ "$(field Description | wc -l)" -gt 3 ] || fail "Description has no long text"
field Maintainer | grep -q '<.*@.*>' || fail "Maintainer: $(field Maintainer)"

dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/vossik" version | grep -q "^\[VOSSIK, v$version" || fail "packaged vossik does not run"
echo "deb test passed"
