#!/bin/sh
# make demo: builds a small sample tree with NFSv4 ACLs in a temporary
# directory, lists it recursively in four print styles, and removes it.
#
#   scripts/demo.sh <path to vossik>
set -eu

bin=${1:?usage: scripts/demo.sh <path to vossik>}
vossik=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

mkdir -p sample/projects sample/empty
printf 'quarterly numbers\n' >sample/report.txt
printf 'remember the milk\n' >sample/notes.txt
printf 'step one\n' >sample/projects/plan.txt
ln -s report.txt sample/latest

# The ACLs live in the attribute security.nfs4acl_xdr, which only root may
# write; anyone else sees the ACLs that the permission bits imply.
if [ "$(id -u)" -eq 0 ]; then
    # A named user and group, a deny entry for the owning group.
    "$vossik" set-access \
        'owner@:rwpaARWcCos::allow,user:daemon:raRcs::allow,group:root:rwp::allow,group@:wp::deny,everyone@:raRcs::allow' \
        sample/report.txt
    # Entries that new files and directories inherit, one of them a deny
    # entry for the children only ...
    "$vossik" set-access \
        'owner@:full_set:fd:allow,group:daemon:rxaRc:fd:allow,user:nobody:w:fdi:deny,everyone@:raRcs:fd:allow' \
        sample/projects
    # ... and passed on to what is already there.
    "$vossik" -r inherit-access sample/projects
else
    echo "(not root: the sample keeps the ACLs of its permission bits)"
fi

for style in default brief samba icacls; do
    echo "=== vossik -S $style -r list-access sample"
    "$vossik" -S "$style" -r list-access sample
    echo
done
