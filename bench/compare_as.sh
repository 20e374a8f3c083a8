#!/usr/bin/env bash
# The benchmarks in one run:
#  1. assembler throughput: vexasm -s 100 on a generated 4096-instruction program against
#     GNU as on x86-64 sources of a similar shape: one of the same number of lines (the
#     comparison the target is set on), and one of the same total number of lines as the
#     100 repetitions (as then pays its start-up once, like vexasm); median wall time (and
#     CPU time) over several runs, lines per second, and the ratios;
#  2. peak resident memory of vexasm on that program, from /usr/bin/time -v;
#  3. the simulator benchmark (bench_sim: ALU and real-time kernels, instructions/s).
#
# Usage: bench/compare_as.sh [build-dir]
#   The build directory (default: build-bench) is configured in Release with -DVEXA_BENCH=ON
#   and the benchmark targets are built when needed. RUNS=n sets the number of timed runs
#   (default 7, at least 5). SKIP_SIM=1 leaves out the simulator benchmark.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
runs=${RUNS:-7}
reps=100
[ "$runs" -ge 5 ] || runs=5

if [ ! -x /usr/bin/time ]; then
    echo "/usr/bin/time is missing: installing Debian's 'time' package for the memory figure"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -q time >/dev/null || { apt-get update -q && apt-get install -y -q time; }
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXA_BENCH=ON >/dev/null
fi
cmake --build "$build" -j 2 --target vexasm vexa_bench_gen bench_sim >/dev/null

vexasm=$build/vexasm
gen=$build/bench/vexa_bench_gen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$gen" vexa "$work/prog.s"
lines=$(wc -l <"$work/prog.s")
total=$((lines * reps))
"$gen" x86 "$work/x86.s" "$lines"
"$gen" x86 "$work/x86-total.s" "$total"

# Both must succeed before their times mean anything.
"$vexasm" -l q -o "$work/prog" "$work/prog.s" >/dev/null || { echo "vexasm failed on $work/prog.s"; exit 1; }
for f in x86 x86-total; do
    as -o "$work/$f.o" "$work/$f.s" || { echo "as failed on $work/$f.s"; exit 1; }
done

# Times the three commands in turn, `runs` rounds, so that all see the same load on a shared
# machine; the file "<n>.times" gets "<wall> <user> <sys>" per run of command n.
time_interleaved() {
    local TIMEFORMAT='%3R %3U %3S'
    rm -f "$work"/*.times
    for ((i = 0; i < runs; ++i)); do
        { time "$vexasm" -l q -s "$reps" -o "$work/prog" "$work/prog.s" >/dev/null 2>&1; } 2>>"$work/1.times"
        { time as -o "$work/x86.o" "$work/x86.s" >/dev/null 2>&1; } 2>>"$work/2.times"
        { time as -o "$work/x86-total.o" "$work/x86-total.s" >/dev/null 2>&1; } 2>>"$work/3.times"
    done
}

# Prints "<median wall s> <median cpu s>" of command n.
median() {
    local times=$work/$1.times
    local wall cpu
    wall=$(awk '{print $1}' "$times" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    cpu=$(awk '{print $2 + $3}' "$times" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    echo "$wall $cpu"
}

rate() { awk -v n="$1" -v t="$2" 'BEGIN{ if (t > 0) printf "%.3f", n / t / 1e6; else print "inf" }'; }

echo "== Assembler throughput (median of $runs runs) =="
time_interleaved
read -r vwall vcpu < <(median 1)
read -r awall acpu < <(median 2)
read -r twall tcpu < <(median 3)
vrate=$(rate "$total" "$vwall")
vcrate=$(rate "$total" "$vcpu")
arate=$(rate "$lines" "$awall")
acrate=$(rate "$lines" "$acpu")
trate=$(rate "$total" "$twall")
tcrate=$(rate "$total" "$tcpu")
printf 'vexasm -s %d       : %d lines x %d = %d lines, wall %.3f s (cpu %.3f s): %s M lines/s (cpu: %s M)\n' \
    "$reps" "$lines" "$reps" "$total" "$vwall" "$vcpu" "$vrate" "$vcrate"
printf 'GNU as, same size  : %d lines, wall %.3f s (cpu %.3f s): %s M lines/s (cpu: %s M)\n' \
    "$lines" "$awall" "$acpu" "$arate" "$acrate"
printf 'GNU as, same total : %d lines, wall %.3f s (cpu %.3f s): %s M lines/s (cpu: %s M)\n' \
    "$total" "$twall" "$tcpu" "$trate" "$tcrate"

echo "== Peak memory =="
/usr/bin/time -v "$vexasm" -l q -s "$reps" -o "$work/prog" "$work/prog.s" 2>"$work/rss" >/dev/null
rss=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$work/rss")
printf 'vexasm -s %d peak RSS: %d KiB = %.2f MiB (target: below 8 MiB)\n' "$reps" "$rss" \
    "$(awk -v k="$rss" 'BEGIN{print k / 1024}')"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a / b; else print "inf" }'; }
printf 'ratio vexasm / as, lines per second, same-size source : %s (cpu time: %s; target: at least 2)\n' \
    "$(ratio "$vrate" "$arate")" "$(ratio "$vcrate" "$acrate")"
printf 'ratio vexasm / as, lines per second, same total lines : %s (cpu time: %s)\n' \
    "$(ratio "$vrate" "$trate")" "$(ratio "$vcrate" "$tcrate")"

if [ "${SKIP_SIM:-0}" != 1 ]; then
    echo "== Simulator =="
    "$build/bench/bench_sim" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
fi
