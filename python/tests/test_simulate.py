"""Simulation: outcome, counters, events, log text, listing and timeline equal vexasim's."""

import csv
import io

import numpy as np
import pytest

import vexa
from conftest import EXAMPLES, GOOD_EXAMPLES, realtime_loop, run_tool

CSV_COLUMNS = (
    "time_ns,duration_ns,address,mnemonic,play_valid,wave_idx0,wave_idx1,acquire_valid,acq_idx,"
    "bin_idx,weight_idx0,weight_idx1,param_valid,awg_gain0,awg_gain1,awg_offs0,awg_offs1,"
    "ph_coarse,ph_fine,ph_ufine,ph_delta_coarse,ph_delta_fine,ph_delta_ufine,mrk"
).split(",")


def as_csv(events) -> str:
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(events.dtype.names)
    for record in events.tolist():
        writer.writerow(int(v) if isinstance(v, bool) else v for v in record)
    return out.getvalue()


def log_text_of(stderr: bytes) -> str:
    text = stderr.decode()
    start = text.index("\nSimulation start:")
    return text[start : text.index("\nSimulation end", start) + len("\nSimulation end")]


SIMULATED = GOOD_EXAMPLES + ["loop.s", "interrupted.s"]


@pytest.fixture(params=SIMULATED, ids=lambda p: getattr(p, "name", p))
def case(request, write):
    """(source path, budget) of a program simulated by both vexasim and the package."""
    if request.param == "loop.s":
        return write("loop.s", realtime_loop(200)), 1_000_000
    if request.param == "interrupted.s":
        return write("interrupted.s", realtime_loop(200)), 333
    return request.param, 1_000_000


def test_run_equals_vexasim(case, tmp_path):
    path, budget = case
    tool = run_tool(
        "vexasim", "-m", budget, "--events", tmp_path / "e.csv", "--listing", tmp_path / "l.txt",
        "--svg", tmp_path / "t.svg", path,
    )
    run = vexa.assemble_file(path).simulate(max_instructions=budget)
    assert run.completed == (tool.returncode == 0)

    assert run.events.dtype.names == tuple(CSV_COLUMNS)
    assert as_csv(run.events) == (tmp_path / "e.csv").read_text()
    assert run.log_text() == log_text_of(tool.stderr)
    stats = (
        f"Simulated {run.instructions} instructions which took {run.classical_cycles} classical "
        f"cycles ({run.classical_cycles / 250:.3f} us) and {run.realtime_cycles} real-time cycles "
        f"({run.realtime_cycles / 250:.3f} us)."
    )
    assert stats in tool.stderr.decode()
    if not run.completed:
        assert f"vexasim: {run.message}\n" in tool.stderr.decode()
    assert run.listing_text() == (tmp_path / "l.txt").read_text()

    run.save_svg(tmp_path / "mine.svg")
    assert (tmp_path / "mine.svg").read_bytes() == (tmp_path / "t.svg").read_bytes()


def test_listing_csv_equals_vexasim_and_the_array(tmp_path):
    path = EXAMPLES / "pulse_sequence.s"
    run_tool("vexasim", "-l", "quiet", "--listing", tmp_path / "l.csv", path)
    run = vexa.assemble_file(path).simulate()
    assert run.listing_text(csv=True) == (tmp_path / "l.csv").read_text()
    rows = list(csv.DictReader(io.StringIO(run.listing_text(csv=True))))
    listing = run.listing()
    assert listing.dtype.names == (
        "address", "count", "first_tick", "first_time_ns", "realtime_ns", "text")
    for row, record in zip(rows, listing, strict=True):
        for name in listing.dtype.names:
            expected = row[name] if name == "text" else int(row[name] or -1)
            assert record[name] == expected, (row, name)


def test_listing_counts_of_a_loop():
    run = vexa.assemble(realtime_loop(7) + "        nop\n").simulate()
    listing = run.listing()
    assert list(listing["address"]) == list(range(8))
    assert list(listing["count"]) == [1, 7, 7, 7, 7, 7, 1, 0]
    assert list(listing["realtime_ns"][:6]) == [0, 700, 1750, 700, 0, 0]
    # The nop after stop never runs: its time columns are -1.
    assert list(listing[7])[1:5] == [0, -1, -1, -1]
    assert listing["text"][1] == "top:    play    1, 2, 100"
    assert np.count_nonzero(run.events["play_valid"]) == 7


def test_listing_of_a_loaded_image_is_its_disassembly(tmp_path):
    prog = vexa.assemble_file(EXAMPLES / "pulse_sequence.s")
    prog.save_hex(tmp_path / "p.hex")
    run = vexa.load_hex(tmp_path / "p.hex").simulate()
    tool = run_tool("vexasim", "-l", "quiet", "--listing", tmp_path / "l.txt", tmp_path / "p.hex")
    assert tool.returncode == 0
    assert run.listing_text() == (tmp_path / "l.txt").read_text()
    assert run.listing()["text"][4].split() == ["play", "0x1,", "0x2,", "0x64"]


def test_counters_and_outcome_of_a_stop():
    run = vexa.assemble("stop\n").simulate()
    assert (run.completed, run.message, run.instructions, run.classical_cycles) == (True, "", 1, 1)
    assert run.realtime_cycles == 0 and len(run.events) == 0
    assert run.log_text() == "\nSimulation start:\nSimulation end"


def test_run_without_events_keeps_counters_and_listing():
    prog = vexa.assemble(realtime_loop(5))
    full, bare = prog.simulate(), prog.simulate(events=False)
    assert len(bare.events) == 0 and bare.events.dtype == full.events.dtype
    assert (bare.completed, bare.instructions, bare.realtime_cycles) == (
        full.completed, full.instructions, full.realtime_cycles)
    assert bare.listing_text() == full.listing_text()


def test_budget_ends_an_endless_loop_with_the_message():
    run = vexa.assemble("top: jmp @top\n").simulate(max_instructions=10)
    assert not run.completed
    assert run.instructions == 11 and run.classical_cycles == 44
    assert run.message == (
        "Maximum number of instructions reached (10). Could the program be running an infinite loop?")


def test_events_are_read_only_records_of_the_run():
    run = vexa.assemble(realtime_loop(3)).simulate()
    with pytest.raises(ValueError):
        run.events["time_ns"][0] = 5
    assert list(run.events["time_ns"]) == [0, 100, 350, 450, 550, 800, 900, 1000, 1250]
    assert list(run.events["mnemonic"][:3]) == ["play", "wait", "acquire"]
    assert list(run.lanes()[:3]) == [3, 8, 4]


@pytest.mark.parametrize("budget", [-1, 2**31, 10**30])
def test_budget_out_of_range_is_refused(budget):
    prog = vexa.assemble("stop\n")
    with pytest.raises(ValueError, match="max_instructions"):
        prog.simulate(max_instructions=budget)
    with pytest.raises(ValueError, match="max_instructions"):
        prog.iter_events(max_instructions=budget)


@pytest.mark.parametrize("budget", [1.5, "10", None])
def test_budget_that_is_no_integer_is_refused(budget):
    with pytest.raises(TypeError):
        vexa.assemble("stop\n").simulate(max_instructions=budget)


def test_largest_budget_is_accepted():
    assert vexa.assemble("stop\n").simulate(max_instructions=2**31 - 1).completed


def test_save_svg_into_a_missing_folder_raises(tmp_path):
    run = vexa.assemble(realtime_loop(2)).simulate()
    with pytest.raises(OSError):
        run.save_svg(tmp_path / "missing" / "t.svg")
    assert not (tmp_path / "missing").exists()


def test_plot_draws_the_lanes(tmp_path):
    matplotlib = pytest.importorskip("matplotlib", reason="python3-matplotlib is needed to plot")
    matplotlib.use("Agg")
    run = vexa.assemble(realtime_loop(3)).simulate()
    ax = run.plot()
    assert [t.get_text() for t in ax.get_yticklabels()] == [
        "wait / update", "acquisition", "path 1", "path 0"]
    # One box per event and lane: plays in two lanes, waits and acquisitions in one.
    assert sum(len(c.get_paths()) for c in ax.collections) == 3 * 2 + 3 + 3
    assert ax.get_xlim() == (0, 1350)
    ax.figure.savefig(tmp_path / "t.png")
    assert (tmp_path / "t.png").stat().st_size > 0


def test_readme_example_runs(tmp_path):
    import subprocess
    import sys

    from conftest import SOURCE_DIR

    out = subprocess.run(
        [sys.executable, SOURCE_DIR / "examples" / "pulse_sequence.py", tmp_path / "t.png"],
        capture_output=True, text=True, cwd=SOURCE_DIR, timeout=120)
    assert out.returncode == 0, out.stderr
    assert "generated.s:2:5: 'Syntax error: Instruction wait argument 1" in out.stdout
    assert (tmp_path / "t.png").read_bytes().startswith(b"\x89PNG")
