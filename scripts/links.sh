#!/bin/sh
# make install LINKS=1 / make uninstall: the multi-call links, one per
# command name, taken from the program's own command listing.
#
#   scripts/links.sh install|uninstall <bindir> <program>
#
# A link is a relative symbolic link to vossik beside it. A file of that name
# that is not such a link belongs to someone else: install leaves it alone
# (and says so), uninstall does not touch it.
set -eu

action=${1:?usage: scripts/links.sh install|uninstall <bindir> <program>}
bindir=${2:?usage: scripts/links.sh install|uninstall <bindir> <program>}
program=${3:?usage: scripts/links.sh install|uninstall <bindir> <program>}

# "help" lists the commands as "  <name> <tab>..." between the line
# "COMMANDS:" and the first empty line.
names=$("$program" help | awk '/^COMMANDS:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }')
if [ -z "$names" ]; then
    echo "$program: no command names in its help listing" >&2
    exit 1
fi

ours() {
    [ -L "$1" ] && [ "$(readlink "$1")" = vossik ]
}

for name in $names; do
    link=$bindir/$name
    case $action in
    install)
        if ours "$link"; then
            continue
        elif [ -e "$link" ] || [ -L "$link" ]; then
            echo "$link: exists and is not a link to vossik, left alone" >&2
        else
            ln -s vossik "$link"
        fi
        ;;
    uninstall)
        if ours "$link"; then rm -f "$link"; fi
        ;;
    *)
        echo "$action: unknown action (install or uninstall)" >&2
        exit 1
        ;;
    esac
done
