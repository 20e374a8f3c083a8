#!/usr/bin/env python3
"""Benchmarks of the vexa Python package (figures in README.md, Python section):

  1. vexa.assemble of the 4096-instruction benchmark program against the in-process C++
     assembly of the same text (bench_assemble);
  2. what building run.events costs per event beyond the simulation itself
     (simulate() against simulate(events=False), same program, interleaved);
  3. two programs simulated by two threads against one thread doing both;
  4. peak memory of iter_events against simulate() over 10^7 instructions.

    bench/python_bench.py [build folder, default build-bench]

The build folder must be configured with -DVEXA_BENCH=ON (the script configures and builds
it when needed). Runs take a few seconds each; medians of interleaved runs.
"""

import json
import os
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

ROOT = pathlib.Path(__file__).resolve().parents[1]
BUILD = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build-bench").resolve()
if not (BUILD / "CMakeCache.txt").exists():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                    "-DVEXA_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
subprocess.run(["cmake", "--build", BUILD, "-j", "2", "--target", "_vexa", "bench_assemble",
                "vexa_bench_gen"], check=True, stdout=subprocess.DEVNULL)
sys.path.insert(0, str(BUILD / "python"))
import vexa  # noqa: E402


def loop(passes: int) -> str:
    return (f"move {passes}, R1\ntop: play 1, 2, 100\nwait 250\nacquire 0, 0, 100\n"
            "set_mrk 1\nloop R1, @top\nstop\n")


def alu(passes: int) -> str:
    return f"move {passes}, R1\ntop: add R2, 3, R2\nxor R2, R3, R3\nloop R1, @top\nstop\n"


def median_time(function, repeat: int, clock=time.process_time) -> float:
    """CPU time: on a machine shared with other work, wall time mostly measures the others."""
    times = []
    for _ in range(repeat):
        start = clock()
        function()
        times.append(clock() - start)
    return statistics.median(times)


def assembly():
    with tempfile.TemporaryDirectory() as work:
        path = pathlib.Path(work) / "prog.s"
        subprocess.run([BUILD / "bench" / "vexa_bench_gen", "vexa", path], check=True,
                       stdout=subprocess.DEVNULL)
        out = subprocess.run(
            [BUILD / "bench" / "bench_assemble", "--benchmark_format=json",
             "--benchmark_repetitions=9", "--benchmark_report_aggregates_only=true"],
            env={**os.environ, "VEXA_BENCH_SOURCE": str(path)}, check=True,
            capture_output=True, text=True).stdout
        cpp = {b["run_name"]: b["cpu_time"] / 1e6 for b in json.loads(out)["benchmarks"]
               if b["aggregate_name"] == "median"}
        text = path.read_text()
        data = text.encode()
        assert len(vexa.assemble(text)) == 4096
        py_text = median_time(lambda: vexa.assemble(text, "prog.s"), 41)
        py_bytes = median_time(lambda: vexa.assemble(data, "prog.s"), 41)
    new, same = cpp["BM_AssembleNewDriver"], cpp["BM_AssembleSameDriver"]
    print("1. assembly of the 4096-instruction program (median CPU time per call)")
    print(f"   C++ new driver + assemble: {new * 1e3:.2f} ms; same driver: {same * 1e3:.2f} ms;"
          f" driver alone: {cpp['BM_NewDriver'] * 1e3:.3f} ms")
    print(f"   vexa.assemble(str): {py_text * 1e3:.2f} ms = {py_text / new:.3f}x the C++ call"
          f" ({py_text / same:.3f}x the reused driver)")
    print(f"   vexa.assemble(bytes): {py_bytes * 1e3:.2f} ms = {py_bytes / new:.3f}x")


def events():
    passes = 400_000
    prog = vexa.assemble(loop(passes))
    count = len(prog.simulate(max_instructions=10**9).events)
    with_events, without = [], []
    for _ in range(9):
        start = time.process_time()
        run = prog.simulate(max_instructions=10**9)
        with_events.append(time.process_time() - start)
        del run
        start = time.process_time()
        prog.simulate(max_instructions=10**9, events=False)
        without.append(time.process_time() - start)
    a, b = statistics.median(with_events), statistics.median(without)
    print(f"2. run.events: {count} events, {5 * passes + 2} instructions")
    print(f"   simulate(): {a * 1e3:.1f} ms; simulate(events=False): {b * 1e3:.1f} ms (CPU time)")
    print(f"   events cost {(a - b) / count * 1e9:.1f} ns an event"
          f" ({count / (a - b) / 1e6:.1f} M events/s) beyond the simulation")


def threads():
    print("3. two programs, one thread doing both against two threads")
    # What the machine gives two threads right now: hashlib releases the lock for large data.
    import hashlib

    data = bytes(64 << 20)

    def digest(_):
        return hashlib.sha256(data).digest()

    with ThreadPoolExecutor(max_workers=2) as pool:
        serial = median_time(lambda: [digest(0), digest(1)], 5, time.perf_counter)
        parallel = median_time(lambda: list(pool.map(digest, range(2))), 5, time.perf_counter)
    print(f"   reference, sha256 of 64 MiB twice: speedup {serial / parallel:.2f}")
    for name, source, keep in (("real-time loop, events kept", loop(300_000), True),
                               ("ALU loop", alu(3_000_000), False)):
        programs = [vexa.assemble(source), vexa.assemble(source)]

        def one(p):
            return p.simulate(max_instructions=10**9, events=keep).instructions

        serial, parallel, busy = [], [], []
        with ThreadPoolExecutor(max_workers=2) as pool:
            for _ in range(7):
                start = time.perf_counter()
                for p in programs:
                    one(p)
                serial.append(time.perf_counter() - start)
                start, cpu = time.perf_counter(), time.process_time()
                list(pool.map(one, programs))
                parallel.append(time.perf_counter() - start)
                busy.append((time.process_time() - cpu) / parallel[-1])
        s, p = statistics.median(serial), statistics.median(parallel)
        print(f"   {name}: one thread {s * 1e3:.0f} ms, two threads {p * 1e3:.0f} ms (wall),"
              f" speedup {s / p:.2f}; CPU time / wall time with two threads"
              f" {statistics.median(busy):.2f}")


def memory():
    passes = 2_000_000
    code = (
        "import re, sys, vexa\n"
        "def hwm():\n"
        "    with open('/proc/self/status') as f:\n"
        "        return int(re.search(r'VmHWM:\\s*(\\d+)', f.read()).group(1))\n"
        f"prog = vexa.assemble({loop(passes)!r})\n"
        "base = hwm()\n"
        "if sys.argv[1] == 'iter':\n"
        "    n = sum(len(c) for c in prog.iter_events(max_instructions=10**9))\n"
        "else:\n"
        "    n = len(prog.simulate(max_instructions=10**9).events)\n"
        "peak = hwm()\n"
        "print(n, base, peak)\n"
    )
    print(f"4. peak RSS over {5 * passes + 2} instructions")
    for how in ("iter", "whole"):
        out = subprocess.run([sys.executable, "-c", code, how], check=True, capture_output=True,
                             text=True, env={**os.environ, "PYTHONPATH": str(BUILD / "python")})
        n, base, peak = map(int, out.stdout.split())
        label = "iter_events (chunks of 10^6)" if how == "iter" else "simulate().events"
        print(f"   {label}: {n} events, peak RSS {peak / 1024:.0f} MiB"
              f" ({(peak - base) / 1024:.0f} MiB above the interpreter with the program)")


if __name__ == "__main__":
    print(f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores")
    assembly()
    events()
    threads()
    memory()
