#!/usr/bin/env bash
# Simulated instructions per CPU second of vexasim on the ALU kernel (10^8 instructions) and
# the real-time kernel (10^7 instructions, events discarded: the log level is warning) of
# bench/, for one or more vexasim builds side by side: each is run `runs` times, the builds
# in turn, and the median is printed.
#
# Usage: bench/sim_speed.sh [-n runs] vexasim...   (default: build-bench/vexasim, 5 runs)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
if [ "${1:-}" = "-n" ]; then
    runs=$2
    shift 2
fi
[ $# -gt 0 ] || set -- "$root/build-bench/vexasim"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

declare -A instructions=([alu_kernel]=100000004 [realtime_kernel]=10000008)
for kernel in alu_kernel realtime_kernel; do
    for ((run = 0; run < runs; ++run)); do
        for tool in "$@"; do
            /usr/bin/time -f "%U %S" -o "$work/time" "$tool" -l warning -m 200000000 \
                "$root/bench/$kernel.s" >/dev/null 2>&1
            read -r user sys <"$work/time"
            echo "$(echo "${instructions[$kernel]} / ($user + $sys) / 1000000" | bc)" \
                >>"$work/$kernel.$(echo "$tool" | md5sum | cut -c1-8)"
        done
    done
    for tool in "$@"; do
        median=$(sort -n "$work/$kernel.$(echo "$tool" | md5sum | cut -c1-8)" |
            awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
        printf '%-16s %6s M instructions/s  %s\n' "$kernel" "$median" "$tool"
    done
done
