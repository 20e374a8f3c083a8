#!/usr/bin/env bash
# Simulated instructions per CPU second of vexasim on the ALU kernel of bench/ (10^8
# instructions) and on its real-time kernel run ten times as long (10^8 instructions, events
# discarded: the log level is warning), for one or more vexasim builds side by side: each is
# run `runs` times, the builds in turn, and the median is printed. CPU time is the task clock
# of `perf stat`.
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

cp "$root/bench/alu_kernel.s" "$work/alu_kernel.s"
sed 's/move    714286, R1 /move    7142860, R1/' "$root/bench/realtime_kernel.s" \
    >"$work/realtime_kernel.s"
declare -A instructions=([alu_kernel]=100000004 [realtime_kernel]=100000044)
for kernel in alu_kernel realtime_kernel; do
    for ((run = 0; run < runs; ++run)); do
        for tool in "$@"; do
            perf stat -x, -e task-clock -o "$work/stat" "$tool" -l warning -m 200000000 \
                "$work/$kernel.s" >/dev/null 2>&1
            milliseconds=$(grep task-clock "$work/stat" | cut -d, -f1)
            echo "${instructions[$kernel]} / $milliseconds / 1000" | bc \
                >>"$work/$kernel.$(echo "$tool" | md5sum | cut -c1-8)"
        done
    done
    for tool in "$@"; do
        median=$(sort -n "$work/$kernel.$(echo "$tool" | md5sum | cut -c1-8)" |
            awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
        printf '%-16s %6s M instructions/s  %s\n' "$kernel" "$median" "$tool"
    done
done
