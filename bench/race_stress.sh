#!/bin/sh
# Runs recursive writes against a real race: while set-access -r,
# edit-access -r and inherit-access -r walk a tree of 200 sibling
# directories, another process swaps one of them for a symbolic link to a
# victim tree outside (an atomic exchange every 2 ms). After every run the
# victim's stored ACLs are compared with what they were; a change is a write
# outside the tree. Prints the count, which must be 0 (exit status 1
# otherwise). Bounded by time: about a minute by default.
#
#   bench/race_stress.sh <builddir> [seconds (60)]
#
# <builddir> holds vossik and vossik_race_swapper (make bench builds both).
# Needs root (security.* attributes) and getfattr (package attr).
set -eu

build=${1:?usage: bench/race_stress.sh <builddir> [seconds]}
seconds=${2:-60}
vossik=$(cd "$build" && pwd)/vossik
swapper=$(cd "$build" && pwd)/vossik_race_swapper
for f in "$vossik" "$swapper"; do
    [ -x "$f" ] || { echo "race_stress: $f is missing (build with -DVOSSIK_BENCH=ON)" >&2; exit 1; }
done
command -v getfattr >/dev/null 2>&1 || { echo "race_stress: getfattr is missing (package attr)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "race_stress: run as root (it writes security.* attributes)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-race-XXXXXX")
swapper_pid=
cleanup() {
    [ -z "$swapper_pid" ] || kill "$swapper_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
cd "$work"

mkdir tree victim victim/inner
i=0
while [ $i -lt 200 ]; do
    mkdir "tree/d$i"
    : >"tree/d$i/file"
    i=$((i + 1))
done
: >victim/secret
: >victim/inner/deeper
# The tree's own ACL differs from the victim's, so that inherit-access
# would change the victim too.
"$vossik" -r set-access 'owner@:rwx::allow,user:daemon:rwx:fd:allow' tree
victim_acl='owner@:rwx::allow'
"$vossik" -r set-access "$victim_acl" victim
victim_state() {
    getfattr -h -e hex -n security.nfs4acl_xdr victim victim/secret victim/inner \
        victim/inner/deeper 2>/dev/null
}
original=$(victim_state)

# d100 and the link trade places, again and again.
ln -s ../victim tree/elsewhere
"$swapper" tree/d100 tree/elsewhere 2000 &
swapper_pid=$!

runs=0
outside=0
end=$(($(date +%s) + seconds))
while [ "$(date +%s)" -lt "$end" ]; do
    for command in set edit inherit; do
        case $command in
        set) "$vossik" -r set-access 'user:bin:rwx:fd:allow' tree ;;
        edit) "$vossik" -r edit-access 'user:sys:rwx::allow' tree ;;
        inherit) "$vossik" -r inherit-access tree ;;
        esac >/dev/null 2>&1 || true  # a race may fail a run; only what it wrote counts
        runs=$((runs + 1))
        if [ "$(victim_state)" != "$original" ]; then
            outside=$((outside + 1))
            echo "race_stress: $command-access wrote outside the tree" >&2
            "$vossik" -r set-access "$victim_acl" victim
        fi
    done
done

echo "runs: $runs"
echo "writes outside the tree: $outside"
[ "$outside" -eq 0 ]
