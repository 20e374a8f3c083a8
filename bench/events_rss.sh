#!/usr/bin/env bash
# Peak resident memory of vexasim on a real-time loop of 10^5 and of 10^7 executed
# instructions (3 events every 5 instructions), with the log at info level written to
# /dev/null: alone, with --events to CSV, and with --listing. A streamed run keeps no events,
# so the two sizes should cost the same memory. Also the time of the long run with CSV.
#
# Usage: bench/events_rss.sh [build-dir]   (default: build-bench, configured and built here)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
if [ ! -x /usr/bin/time ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -q time >/dev/null || { apt-get update -q && apt-get install -y -q time; }
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXA_BENCH=ON >/dev/null
fi
cmake --build "$build" -j 2 --target vexasim >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

program() { # passes
    cat <<EOF
        move    $1, R1
top:    play    1, 2, 100
        wait    250
        acquire 0, 0, 100
        set_mrk 1
        loop    R1, @top
        stop
EOF
}

# Peak RSS in KiB and CPU seconds of one vexasim run.
measure() {
    /usr/bin/time -f "%M %U %S" -o "$work/time" "$build/vexasim" -m 20000000 "$@" \
        2>/dev/null >/dev/null || true
    read -r rss user sys <"$work/time"
    echo "$rss $(echo "$user + $sys" | bc)"
}

printf "%-22s %14s %14s %8s %12s\n" "options" "RSS 10^5 KiB" "RSS 10^7 KiB" "ratio" "CPU s 10^7"
for options in "-l info" "-l info --events $work/e.csv" "-l info --events $work/e.jsonl" \
    "-l info --listing $work/l.txt"; do
    program 20000 >"$work/short.s"
    program 2000000 >"$work/long.s"
    read -r short _ <<<"$(measure $options "$work/short.s")"
    read -r long cpu <<<"$(measure $options "$work/long.s")"
    label=${options//$work\//}
    printf "%-22s %14s %14s %8s %12s\n" "$label" "$short" "$long" \
        "$(echo "scale=3; $long / $short" | bc)" "$cpu"
done
