"""Concurrent use: programs in several threads at once, and one program shared by threads."""

import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import vexa
from conftest import realtime_loop


def work(passes: int):
    """What a program of its own gives, and the diagnostics of a source with errors."""
    prog = vexa.assemble(realtime_loop(passes), filename=f"loop{passes}.s")
    run = prog.simulate()
    with pytest.raises(vexa.AssemblyError) as info:
        vexa.assemble("nop\njump 1\n" * (passes % 5 + 1))
    diagnostics = info.value.diagnostics
    return prog.to_hex(), run.instructions, run.events.tobytes(), run.listing_text(), diagnostics


def test_separate_programs_in_threads_equal_one_by_one():
    passes = [50 + 37 * i for i in range(12)]
    alone = [work(p) for p in passes]
    with ThreadPoolExecutor(max_workers=4) as pool:
        assert list(pool.map(work, passes)) == alone


def test_one_program_shared_by_threads():
    prog = vexa.assemble(realtime_loop(300))
    expected = prog.simulate().events

    def use(i):
        if i % 3 == 0:
            return np.concatenate(list(prog.iter_events(chunk_size=64)))
        if i % 3 == 1:
            prog.disassemble()
            prog.to_hex()
        return prog.simulate().events

    with ThreadPoolExecutor(max_workers=4) as pool:
        for events in pool.map(use, range(12)):
            assert np.array_equal(events, expected)


def test_log_level_is_set_by_name():
    before = vexa.log_level()
    vexa.set_log_level("warning")
    assert vexa.log_level() == "warning"
    vexa.set_log_level(before)
    with pytest.raises(ValueError, match="unknown log level"):
        vexa.set_log_level("loud")


def test_simulation_lets_other_threads_run():
    prog = vexa.assemble("move 5000000, R1\ntop: add R2, 3, R2\nloop R1, @top\nstop\n")
    starting = threading.Event()

    def simulate():
        starting.set()
        prog.simulate(max_instructions=10**8, events=False)

    worker = threading.Thread(target=simulate)
    worker.start()
    starting.wait()
    # While the simulation holds the interpreter lock this loop cannot run at all.
    spins = 0
    while worker.is_alive():
        spins += 1
    worker.join()
    assert spins > 1000
