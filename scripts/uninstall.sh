#!/bin/sh
# make uninstall: removes the files that `make install` puts under
# DESTDIR/PREFIX. The list comes from CMake's install rules themselves (an
# install into a scratch directory), so it cannot drift from them.
# Directories are kept: they may have been there before.
#
#   scripts/uninstall.sh <build dir> <prefix> [<destdir>]
set -eu

build=${1:?usage: scripts/uninstall.sh <build dir> <prefix> [<destdir>]}
prefix=${2:?usage: scripts/uninstall.sh <build dir> <prefix> [<destdir>]}
destdir=${3:-}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vossik-uninstall-XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM

DESTDIR=$scratch cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$scratch" && find . ! -type d) | while IFS= read -r file; do
    target=$destdir${file#.}
    if [ -e "$target" ] || [ -L "$target" ]; then
        echo "-- Removing: $target"
        rm -f "$target"
    fi
done
