#!/usr/bin/env bash
# The benchmarks in one run:
#  1. assembler against GNU as on x86-64 sources of the same shape, CPU time per process
#     (user + system, microseconds), medians over interleaved runs:
#     a. one file: vexasm on the generated 4096-instruction program against as on an x86
#        source of the same number of lines (target: at most half of as's time);
#     b. start-up: vexasm on a one-instruction program against as on a one-instruction
#        source (target: at most 1 ms);
#     c. repetition loop: vexasm -s 100 on the program against as on one source of the same
#        total number of lines, so that both pay their start-up once (target: at least twice
#        as's lines per second);
#  2. peak resident memory of vexasm on the program, once and with -s 100, from
#     /usr/bin/time -v (target: below 8 MiB);
#  3. the simulator benchmark (bench_sim: ALU and real-time kernels, instructions/s).
#
# Usage: bench/compare_as.sh [build-dir]
#   The build directory (default: build-bench) is configured in Release with -DVEXA_BENCH=ON
#   and the benchmark targets are built when needed. RUNS=n sets the number of timed rounds
#   (default 15, at least 5). SKIP_SIM=1 leaves out the simulator benchmark. Wall times on a
#   shared machine follow its load; the CPU times are the figures to compare.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
runs=${RUNS:-15}
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
cmake --build "$build" -j 2 --target vexasm vexa_bench_gen vexa_cpu_time bench_sim >/dev/null

vexasm=$build/vexasm
gen=$build/bench/vexa_bench_gen
cpu_time=$build/bench/vexa_cpu_time
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$gen" vexa "$work/prog.s"
lines=$(wc -l <"$work/prog.s")
total=$((lines * reps))
"$gen" x86 "$work/x86.s" "$lines"
"$gen" x86 "$work/x86-total.s" "$total"
printf '        stop\n' >"$work/one.s"
printf '\t.text\n\tret\n' >"$work/x86-one.s"

# All must succeed before their times mean anything.
for f in prog one; do
    "$vexasm" -l q -o "$work/$f" "$work/$f.s" >/dev/null || { echo "vexasm failed on $f.s"; exit 1; }
done
for f in x86 x86-total x86-one; do
    as -o "$work/$f.o" "$work/$f.s" || { echo "as failed on $work/$f.s"; exit 1; }
done

commands=(
    "$vexasm -l q -o $work/prog $work/prog.s"
    "as -o $work/x86.o $work/x86.s"
    "$vexasm -l q -o $work/one $work/one.s"
    "as -o $work/x86-one.o $work/x86-one.s"
    "$vexasm -l q -s $reps -o $work/prog $work/prog.s"
    "as -o $work/x86-total.o $work/x86-total.s"
)

# Runs the commands in turn, `runs` rounds, so that all see the same load on a shared
# machine; the file "<n>.times" gets "<wall> <user> <sys>" in seconds per run of command n.
time_interleaved() {
    rm -f "$work"/*.times
    for ((i = 0; i < runs; ++i)); do
        for n in "${!commands[@]}"; do
            # shellcheck disable=SC2086 # the commands are split into words on purpose
            "$cpu_time" ${commands[$n]} 2>>"$work/$n.times" >/dev/null
        done
    done
}

# Prints "<median wall s> <median cpu s>" of command n.
median() {
    local times=$work/$1.times
    local wall cpu
    wall=$(awk '{print $1}' "$times" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    cpu=$(awk '{printf "%.6f\n", $2 + $3}' "$times" | sort -g |
        awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
    echo "$wall $cpu"
}

rate() { awk -v n="$1" -v t="$2" 'BEGIN{ if (t > 0) printf "%.3f", n / t / 1e6; else print "inf" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a / b; else print "inf" }'; }
ms() { awk -v s="$1" 'BEGIN{ printf "%.3f", s * 1000 }'; }

echo "== Assembler against GNU as: median CPU time (user + system) of $runs interleaved runs =="
time_interleaved
read -r w0 c0 < <(median 0)
read -r w1 c1 < <(median 1)
read -r w2 c2 < <(median 2)
read -r w3 c3 < <(median 3)
read -r w4 c4 < <(median 4)
read -r w5 c5 < <(median 5)
printf 'one file     : vexasm %d lines %s ms (wall %s), as %d lines %s ms (wall %s)\n' \
    "$lines" "$(ms "$c0")" "$(ms "$w0")" "$lines" "$(ms "$c1")" "$(ms "$w1")"
printf '               vexasm / as CPU time: %s (target: at most 0.50)\n' "$(ratio "$c0" "$c1")"
printf 'start-up     : vexasm one instruction %s ms (wall %s), as one instruction %s ms (wall %s)\n' \
    "$(ms "$c2")" "$(ms "$w2")" "$(ms "$c3")" "$(ms "$w3")"
printf '               (target: vexasm at most 1 ms)\n'
printf 'repeated     : vexasm -s %d: %d lines in %s ms: %s M lines/s; as %d lines in %s ms: %s M lines/s\n' \
    "$reps" "$total" "$(ms "$c4")" "$(rate "$total" "$c4")" "$total" "$(ms "$c5")" \
    "$(rate "$total" "$c5")"
printf '               vexasm / as lines per CPU second: %s (wall: %s; target: at least 2)\n' \
    "$(ratio "$c5" "$c4")" "$(ratio "$w5" "$w4")"

echo "== Peak memory =="
for args in "" "-s $reps"; do
    # shellcheck disable=SC2086
    /usr/bin/time -v "$vexasm" -l q $args -o "$work/prog" "$work/prog.s" 2>"$work/rss" >/dev/null
    rss=$(awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}' "$work/rss")
    printf 'vexasm %-7s peak RSS: %d KiB = %.2f MiB (target: below 8 MiB)\n' "$args" "$rss" \
        "$(awk -v k="$rss" 'BEGIN{print k / 1024}')"
done

if [ "${SKIP_SIM:-0}" != 1 ]; then
    echo "== Simulator =="
    "$build/bench/bench_sim" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
fi
