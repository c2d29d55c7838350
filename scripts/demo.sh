#!/bin/sh
# Shows vossik at work: the command listing, then a short interactive
# session fed from a pipe.
set -eu
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$binary" "$work/bin/vossik"
PATH="$work/bin:$PATH"
cd "$work"

echo "\$ vossik help"
vossik help

script='# Comments are skipped; commands and options may be abbreviated by parts.
echo-text Hello, ${DEMO_USER}!
ec hello
config -v style=csv
conf
echo-text saved to a file >greeting.txt
!cat greeting.txt
version'

echo
echo "\$ DEMO_USER=alice vossik <script    # an interactive session from piped input"
echo "--- script ---"
echo "$script"
echo "--- output ---"
status=0
echo "$script" | DEMO_USER=alice vossik 2>&1 || status=$?
echo "--- exit status $status ---"
