#!/bin/sh
# Times `vossik list-access -r` over a generated tree.
#
#   bench/run.sh <builddir> [files (100000)]
#
# <builddir> holds vossik and vossik_make_tree (make bench builds both).
# Uses hyperfine when it is installed, else the shell's time. With strace
# installed it also counts the system calls per listed object.
set -eu

build=${1:?usage: bench/run.sh <builddir> [files]}
files=${2:-100000}
vossik=$build/vossik
make_tree=$build/vossik_make_tree
for f in "$vossik" "$make_tree"; do
    [ -x "$f" ] || { echo "bench: $f is missing (build with -DVOSSIK_BENCH=ON)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
tree=$work/tree

"$make_tree" "$tree" "$files"
objects=$("$vossik" -S brief list-access -r "$tree" | grep -c -v '^$')
echo "objects listed: $objects"

if command -v hyperfine >/dev/null 2>&1; then
    hyperfine --warmup 1 \
        "$vossik list-access -r $tree" \
        "$vossik -S brief list-access -r $tree" \
        "$vossik -S samba list-access -r $tree"
else
    for style in default brief samba; do
        echo "style $style:"
        time "$vossik" -S "$style" list-access -r "$tree" >/dev/null
    done
fi

if command -v strace >/dev/null 2>&1; then
    strace -f -c -o "$work/calls" "$vossik" list-access -r "$tree" >/dev/null
    echo "system calls per object (default style):"
    awk -v n="$objects" '$NF ~ /^[a-z_0-9]+$/ && $4 ~ /^[0-9]+$/ && $NF != "total" {
        printf "  %-16s %8.3f\n", $NF, $4 / n }' "$work/calls"
fi
