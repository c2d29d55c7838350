#!/bin/sh
# Measures vossik side by side with the floors (plain C: a physical walk and
# one attribute read, or read and write, per object) and with getfacl and
# setfacl, all on one generated tree in one run:
#   - CPU (user + system) and wall time, warm and cold page cache, as ratios
#     to the floor and to getfacl/setfacl (median of RUNS runs);
#   - system calls per object (counted by perf where it can trace the
#     kernel's system call entries, else by strace -f);
#   - peak memory (/usr/bin/time -v);
#   - with SLOW_FS set, the reads once more through slow_fs (bench/slow_fs.c),
#     a FUSE mirror of a smaller tree that waits SLOW_FS microseconds on every
#     metadata round trip (look-up, status, attribute calls, directory reads,
#     opens) and lets the kernel cache nothing, as a high-latency mount such
#     as NFS does; there the read-ahead threads (-j) show what they save.
#
#   bench/run.sh <builddir>
#
# Environment:
#   TREE    files in the tree (20000); 200000 and 800000 are the larger sizes
#   RUNS    timed runs per row, the median is shown (3)
#   COLD    0 skips the cold-cache rows (dropping the page cache needs root)
#   STRACE  0 skips the system-call counts (slow on large trees)
#   TMPDIR  where the tree is made; the file system matters
#   SLOW_FS    microseconds per round trip of the slow_fs table (unset: no
#              such table; 200 is a fast network)
#   SLOW_TREE  files in the slow_fs table's tree (2000)
#
# <builddir> holds vossik and the bench programs (make bench builds them and
# installs acl, strace, time and libfuse3). Writing the ACLs and mounting
# slow_fs need root. The trees are removed and slow_fs unmounted at the end,
# also when the bench fails or is interrupted.
set -eu

build=${1:?usage: bench/run.sh <builddir>}
files=${TREE:-20000}
runs=${RUNS:-3}
cold=${COLD:-1}
count_calls=${STRACE:-1}
slow_us=${SLOW_FS:-}
slow_files=${SLOW_TREE:-2000}

vossik=$build/vossik
for f in "$vossik" "$build/vossik_make_tree" "$build/vossik_floor_read" \
    "$build/vossik_floor_write" "$build/vossik_bench_time"; do
    [ -x "$f" ] || { echo "bench: $f is missing (build with -DVOSSIK_BENCH=ON)" >&2; exit 1; }
done
if [ "$(id -u)" -ne 0 ]; then
    echo "bench: writing security.nfs4acl_xdr needs root" >&2
    exit 1
fi
if [ -n "$slow_us" ]; then
    case $slow_us$slow_files in
        *[!0-9]*)
            echo "bench: SLOW_FS and SLOW_TREE are whole numbers" >&2
            exit 1
            ;;
    esac
    if [ ! -x "$build/vossik_slow_fs" ]; then
        echo "bench: $build/vossik_slow_fs is missing (build with -DVOSSIK_BENCH=ON and libfuse3)" >&2
        exit 1
    fi
    if [ ! -c /dev/fuse ]; then
        echo "bench: SLOW_FS needs FUSE (/dev/fuse)" >&2
        exit 1
    fi
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-bench-XXXXXX")
slow_pid=''
slow_mnt=$work/slow

# Stops slow_fs, which unmounts itself; a server that died leaves its mount
# behind, which must go before the tree is removed.
stop_slow_fs() {
    if [ -n "$slow_pid" ]; then
        kill -TERM "$slow_pid" 2>/dev/null || true
        wait "$slow_pid" 2>/dev/null || true
        slow_pid=''
    fi
    if findmnt -rn -M "$slow_mnt" >/dev/null 2>&1; then
        umount "$slow_mnt" 2>/dev/null || umount -l "$slow_mnt" 2>/dev/null || true
    fi
}

trap 'stop_slow_fs; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
tree=$work/tree
times=$work/times

# The ACL set-access writes: what the generator puts on directories, with a
# named user every system has.
acl='owner@:rwxpDdaARWcCos:fd:allow,user:nobody:rxaRcs:fd:allow,group@:rxaRcs:fd:allow,everyone@:raRcs:fd:allow'

"$build/vossik_make_tree" "$tree" "$files" >/dev/null
objects=$("$build/vossik_floor_read" "$tree" | awk '{ print $1 }')
fs=$(findmnt -n -o FSTYPE -T "$tree" 2>/dev/null || stat -f -c %T "$tree")
jobs_supported=0
"$vossik" --jobs=1 config >/dev/null 2>&1 && jobs_supported=1

# The floor write copies the bytes vossik writes: directories and files differ.
mkdir "$work/ref-dir"
: >"$work/ref-file"
"$vossik" set-access "$acl" "$work/ref-dir" "$work/ref-file"

can_drop=0
if [ "$cold" = 1 ] && sync && (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then
    can_drop=1
fi

echo "vossik bench: $objects objects ($files files) on $fs, $(nproc) CPUs, median of $runs runs"
echo "vossik $("$vossik" version 2>/dev/null | head -n 1)"

# median <file> <column>: the median of the column over the lines of a file.
median() {
    sort -g -k "$2,$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

# measure <warm|cold> <command...>: times the command $runs times, output
# discarded; sets cpu and wall (seconds). A failing command stops the bench.
measure() {
    mode=$1
    shift
    : >"$times"
    if [ "$mode" = warm ]; then "$@" >/dev/null 2>&1 || true; fi
    i=0
    while [ "$i" -lt "$runs" ]; do
        sync
        if [ "$mode" = cold ]; then echo 3 >/proc/sys/vm/drop_caches; fi
        if ! "$build/vossik_bench_time" "$times" "$@" >/dev/null 2>"$work/stderr"; then
            echo "bench: failed: $*" >&2
            cat "$work/stderr" >&2
            exit 1
        fi
        i=$((i + 1))
    done
    awk '{ print $0, $3 + $4 }' "$times" >"$times.cpu"
    cpu=$(median "$times.cpu" 6)
    wall=$(median "$times" 2)
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'
}

header() {
    printf '\n%-38s %7s %7s %9s %8s %7s %9s\n' "$1" "cpu s" "x floor" "x $2" "wall s" \
        "x floor" "x $2"
}

# row <warm|cold> <label> <command...>: one line of the table. The first row
# of a table is its floor, the second its baseline (getfacl, setfacl).
row() {
    mode=$1
    label=$2
    shift 2
    measure "$mode" "$@"
    [ -z "$floor_cpu" ] && floor_cpu=$cpu floor_wall=$wall
    [ -z "$base_cpu" ] && [ "$label" = "$base_label" ] && base_cpu=$cpu base_wall=$wall
    printf '  %-36s %7.3f %7s %9s %8.3f %7s %9s\n' "$label" "$cpu" "$(ratio "$cpu" "$floor_cpu")" \
        "$(ratio "$cpu" "${base_cpu:-0}")" "$wall" "$(ratio "$wall" "$floor_wall")" \
        "$(ratio "$wall" "${base_wall:-0}")"
}

# reads <warm|cold|latency> [<tree>]: latency is the slow_fs mount, where
# nothing is cached (no warm-up run) and the thread counts get rows.
reads() {
    mode=$1
    dir=${2:-$tree}
    floor_cpu='' floor_wall='' base_cpu='' base_wall='' base_label='getfacl -R -P -n'
    if [ "$mode" = latency ]; then
        header "reads, latency $slow_us us" getfacl
    else
        header "reads, $mode cache" getfacl
    fi
    row "$mode" "floor: nftw + lgetxattr" "$build/vossik_floor_read" "$dir"
    row "$mode" "getfacl -R -P -n" getfacl -R -P -n "$dir"
    row "$mode" "getfacl -R -P" getfacl -R -P "$dir"
    if [ "$jobs_supported" = 1 ]; then
        row "$mode" "vossik list-access -r -j1" "$vossik" -j1 list-access -r "$dir"
        row "$mode" "vossik list-access -r (-j default)" "$vossik" list-access -r "$dir"
        if [ "$mode" = latency ]; then
            for j in 2 4 8 16; do
                row "$mode" "vossik list-access -r -j$j" "$vossik" -j"$j" list-access -r "$dir"
            done
        fi
    else
        row "$mode" "vossik list-access -r" "$vossik" list-access -r "$dir"
    fi
}

# same_output <tree>: the check that threads change nothing vossik prints.
same_output() {
    "$vossik" -j1 list-access -r "$1" >"$work/one.out" 2>&1
    "$vossik" list-access -r "$1" >"$work/many.out" 2>&1
    if cmp -s "$work/one.out" "$work/many.out"; then same=identical; else same=DIFFERENT; fi
    echo "  list-access -r output, -j1 against default jobs: $same"
}

writes() {
    mode=$1
    floor_cpu='' floor_wall='' base_cpu='' base_wall='' base_label='setfacl -R -P -m'
    header "writes, $mode cache" setfacl
    row "$mode" "floor: nftw + lgetxattr + lsetxattr" \
        "$build/vossik_floor_write" "$tree" "$work/ref-dir" "$work/ref-file"
    row "$mode" "setfacl -R -P -m" setfacl -R -P -m u:nobody:rX "$tree"
    row "$mode" "vossik set-access -r" "$vossik" -r set-access "$acl" "$tree"
}

# Reads first: the writes change what is stored.
reads warm
if [ "$can_drop" = 1 ]; then reads cold; fi
if [ "$jobs_supported" = 1 ]; then same_output "$tree"; fi
writes warm
if [ "$can_drop" = 1 ]; then writes cold; fi
if [ "$can_drop" = 0 ]; then
    echo
    echo "cold cache: not measured (COLD=0, or /proc/sys/vm/drop_caches cannot be written here)"
fi

# calls <label> <command...>: system calls per object, with the four most
# frequent calls.
# The system's names of its call numbers, for perf's counts: "<number>
# <name>" lines from the kernel's header where it is installed. Numbers 463
# and 464 are named here: older headers lack them.
call_names() {
    header=/usr/include/$(gcc -print-multiarch 2>/dev/null)/asm/unistd_64.h
    [ -r "$header" ] || header=/usr/include/asm/unistd_64.h
    printf '463 setxattrat\n464 getxattrat\n'
    [ -r "$header" ] && awk '$1 == "#define" && $2 ~ /^__NR_/ { sub(/^__NR_/, "", $2); print $3, $2 }' "$header"
    return 0
}

# Where perf can count the calls (a tracepoint of the kernel's own), it does:
# the calls stay as fast as they are. strace makes each call wait for it, and
# the default jobs start their threads when calls wait; its count is the
# fallback, every call counted from its log (strace -c leaves out the calls
# it has no name for, getxattrat and setxattrat on a strace older than the
# kernel).
count_with_perf=0
if command -v perf >/dev/null 2>&1 &&
    perf record -q -e raw_syscalls:sys_enter -o "$work/probe.data" true >/dev/null 2>&1; then
    count_with_perf=1
    call_names >"$work/names"
fi

calls() {
    label=$1
    shift
    if [ "$count_with_perf" = 1 ]; then
        perf record -q -e raw_syscalls:sys_enter -o "$work/calls.data" "$@" >/dev/null 2>&1 || true
        perf script -i "$work/calls.data" -F trace 2>/dev/null |
            awk 'NR == FNR { name[$1] = $2; next }
                 $1 == "NR" { print ($2 in name) ? name[$2] : "syscall_" $2 }' "$work/names" - \
            >"$work/calls"
    else
        strace -f -qq -o "$work/calls" "$@" >/dev/null 2>&1 || true
    fi
    awk -v n="$objects" -v label="$label" '
        { sub(/^[0-9]+ +/, "") }
        /^<\.\.\. / || /^\+\+\+ / || /^--- / { next }  # resumed calls, exits, signals
        {
            name = $0
            sub(/\(.*/, "", name)
            if (name == "syscall_0x1cf") name = "setxattrat"
            else if (name == "syscall_0x1d0") name = "getxattrat"
            if (!(name in count)) names[++k] = name
            count[name]++
            total++
        }
        END {
            for (i = 1; i <= k; i++)  # by count
                for (j = i + 1; j <= k; j++)
                    if (count[names[j]] > count[names[i]]) {
                        t = names[i]; names[i] = names[j]; names[j] = t
                    }
            top = ""
            for (i = 1; i <= k && i <= 4; i++)
                top = top sprintf("%s%s %.2f", i > 1 ? ", " : "", names[i], count[names[i]] / n)
            printf "  %-36s %6.2f  (%s)\n", label, total / n, top
        }' "$work/calls"
}

if [ "$count_calls" = 1 ] && { [ "$count_with_perf" = 1 ] || command -v strace >/dev/null 2>&1; }; then
    if [ "$count_with_perf" = 1 ]; then counter=perf; else counter='strace -f'; fi
    printf '\n%-38s %6s\n' "system calls per object ($counter)" "calls"
    calls "floor: nftw + lgetxattr" "$build/vossik_floor_read" "$tree"
    if [ "$jobs_supported" = 1 ]; then
        calls "vossik list-access -r -j1" "$vossik" -j1 list-access -r "$tree"
        calls "vossik list-access -r (-j default)" "$vossik" list-access -r "$tree"
    else
        calls "vossik list-access -r" "$vossik" list-access -r "$tree"
    fi
    calls "floor: nftw + lgetxattr + lsetxattr" \
        "$build/vossik_floor_write" "$tree" "$work/ref-dir" "$work/ref-file"
    calls "vossik set-access -r" "$vossik" -r set-access "$acl" "$tree"
    calls "vossik touch-access -r -f" "$vossik" -r -f touch-access "$tree"
    calls "vossik edit-access -r -f" "$vossik" -r -f edit-access 'user:nobody:rxaRcs:fd' "$tree"
elif [ "$count_calls" = 1 ]; then
    echo
    echo "system calls: not counted (neither perf nor strace can count them here)"
fi

# peak <label> <command...>: the largest resident set of a run.
peak() {
    label=$1
    shift
    /usr/bin/time -v -o "$work/peak" "$@" >/dev/null 2>&1 || true
    awk -v label="$label" -F': ' '/Maximum resident set size/ {
        printf "  %-36s %7.1f\n", label, $2 / 1024 }' "$work/peak"
}

if [ -x /usr/bin/time ]; then
    printf '\n%-38s %7s\n' "peak memory (/usr/bin/time -v)" "MiB"
    peak "floor: nftw + lgetxattr" "$build/vossik_floor_read" "$tree"
    peak "getfacl -R -P -n" getfacl -R -P -n "$tree"
    if [ "$jobs_supported" = 1 ]; then
        peak "vossik list-access -r -j1" "$vossik" -j1 list-access -r "$tree"
        peak "vossik list-access -r (-j default)" "$vossik" list-access -r "$tree"
    else
        peak "vossik list-access -r" "$vossik" list-access -r "$tree"
    fi
    peak "vossik set-access -r" "$vossik" -r set-access "$acl" "$tree"
else
    echo
    echo "peak memory: not measured (/usr/bin/time is not installed)"
fi

if [ -n "$slow_us" ]; then
    slow_tree=$work/slow-tree
    "$build/vossik_make_tree" "$slow_tree" "$slow_files" >/dev/null
    slow_objects=$("$build/vossik_floor_read" "$slow_tree" | awk '{ print $1 }')
    mkdir "$slow_mnt"
    # In the foreground, so that the trap can stop it by its process id.
    "$build/vossik_slow_fs" -f --delay="$slow_us" "$slow_tree" "$slow_mnt" 2>"$work/slow_fs.err" &
    slow_pid=$!
    i=0
    until findmnt -rn -M "$slow_mnt" >/dev/null 2>&1; do
        if ! kill -0 "$slow_pid" 2>/dev/null || [ "$i" -ge 100 ]; then
            echo "bench: slow_fs did not mount $slow_mnt" >&2
            cat "$work/slow_fs.err" >&2
            exit 1
        fi
        sleep 0.1
        i=$((i + 1))
    done
    echo
    echo "slow_fs: $slow_objects objects ($slow_files files) through FUSE, $slow_us us per round trip, nothing cached"
    reads latency "$slow_mnt"
    if [ "$jobs_supported" = 1 ]; then same_output "$slow_mnt"; fi
    stop_slow_fs
fi
