"""iter_events: the events of a background run in chunks, with bounded memory."""

import gc
import os
import threading

import numpy as np
import pytest

import vexa
from conftest import realtime_loop

ENDLESS = "top: play 1, 2, 100\n     wait 20\n     jmp @top\n"


def resident_bytes() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def threads() -> int:
    return len(os.listdir("/proc/self/task"))


def test_chunks_join_to_the_whole_run():
    prog = vexa.assemble(realtime_loop(25))
    chunks = list(prog.iter_events(chunk_size=7))
    assert [len(c) for c in chunks] == [7] * 10 + [5]
    assert np.array_equal(np.concatenate(chunks), prog.simulate().events)


def test_outcome_and_counters_once_the_run_has_ended():
    it = vexa.assemble("stop\n").iter_events()
    with pytest.raises(RuntimeError):
        it.completed
    assert list(it) == []
    assert (it.completed, it.message, it.instructions, it.classical_cycles) == (True, "", 1, 1)

    prog = vexa.assemble(ENDLESS)
    it = prog.iter_events(max_instructions=100, chunk_size=1000)
    assert sum(len(c) for c in it) == len(prog.simulate(max_instructions=100).events) == 68
    assert not it.completed
    assert it.message.startswith("Maximum number of instructions reached (100).")


def test_long_run_keeps_memory_flat_and_counts_every_event():
    passes = 2_000_000  # 10^7 instructions, 6 * 10^6 events
    prog = vexa.assemble(realtime_loop(passes))
    gc.collect()
    before = peak = resident_bytes()
    total = 0
    it = prog.iter_events(max_instructions=10**9, chunk_size=100_000)
    for chunk in it:
        total += len(chunk)
        peak = max(peak, resident_bytes())
        del chunk
    assert it.completed and it.instructions == 5 * passes + 2
    assert total == 3 * passes
    itemsize = prog.simulate(max_instructions=0).events.itemsize
    # A few chunks at a time, against the whole run's 6 * 10^6 records.
    assert peak - before < 8 * 100_000 * itemsize, (peak - before) / 2**20


@pytest.mark.parametrize("how", ["close", "drop"])
def test_abandoned_iterator_stops_the_run(how):
    base = threads()
    it = vexa.assemble(ENDLESS).iter_events(max_instructions=2**31 - 1, chunk_size=1000)
    assert len(next(it)) == 1000
    if how == "close":
        it.close()
        assert not it.completed and it.message == "event stream closed"
        assert list(it) == []
    else:
        del it
        gc.collect()
    assert threads() == base


@pytest.mark.parametrize("size", [0, -5])
def test_chunk_size_below_one_is_refused(size):
    with pytest.raises(ValueError, match="chunk_size"):
        vexa.assemble("stop\n").iter_events(chunk_size=size)


def test_close_from_another_thread_ends_a_waiting_next():
    # One event per 2 * 10^6 instructions: a chunk of 1000 events takes far longer than the test.
    sparse = "top: move 1000000, R1\ninner: nop\n loop R1, @inner\n wait 20\n jmp @top\n"
    it = vexa.assemble(sparse).iter_events(max_instructions=2**31 - 1, chunk_size=1000)
    got = []
    reader = threading.Thread(target=lambda: got.extend(it))
    reader.start()
    reader.join(timeout=0.2)
    it.close()
    reader.join(timeout=60)
    assert not reader.is_alive()
    assert got == [] and not it.completed and it.message == "event stream closed"
