"""Simulation: outcome, counters, events, log text, listing and timeline equal vexasim's."""

import csv
import io
import re
import subprocess
import sys

import pytest

import vexa
from conftest import EXAMPLES, GOOD_EXAMPLES, SOURCE_DIR, realtime_loop, run_tool


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


# (file, instruction budget): the examples, a loop run whole and cut short, and a hex image.
CASES = [(p, 1_000_000) for p in GOOD_EXAMPLES] + [
    ("loop.s", 1_000_000), ("interrupted.s", 333), ("image.hex", 1_000_000)]


@pytest.mark.parametrize("path, budget", CASES, ids=lambda v: getattr(v, "name", str(v)))
def test_run_equals_vexasim(path, budget, tmp_path):
    if path == "image.hex":
        path = tmp_path / path
        vexa.assemble_file(EXAMPLES / "pulse_sequence.s").save_hex(path)
    elif isinstance(path, str):
        path = tmp_path / path
        path.write_text(realtime_loop(200))
    prog = vexa.load_hex(path) if path.suffix == ".hex" else vexa.assemble_file(path)
    as_csv_listing = path.name == "interrupted.s"
    listing = tmp_path / ("l.csv" if as_csv_listing else "l.txt")
    tool = run_tool(
        "vexasim", "-m", budget, "--events", tmp_path / "e.csv", "--listing", listing,
        "--svg", tmp_path / "t.svg", "--html", tmp_path / "t.html", path,
    )
    run = prog.simulate(max_instructions=budget)
    assert run.completed == (tool.returncode == 0)

    assert as_csv(run.events) == (tmp_path / "e.csv").read_text()
    assert run.log_text() == log_text_of(tool.stderr)
    stats = re.search(r"Simulated (\d+) instructions which took (\d+) classical cycles \(.*\) "
                      r"and (\d+) real-time cycles", tool.stderr.decode())
    assert [int(n) for n in stats.groups()] == [
        run.instructions, run.classical_cycles, run.realtime_cycles]
    if not run.completed:
        assert f"vexasim: {run.message}\n" in tool.stderr.decode()
    assert run.listing_text(csv=as_csv_listing) == listing.read_text()

    run.save_svg(tmp_path / "mine.svg")
    assert (tmp_path / "mine.svg").read_bytes() == (tmp_path / "t.svg").read_bytes()
    run.save_html(tmp_path / "mine.html")
    assert (tmp_path / "mine.html").read_bytes() == (tmp_path / "t.html").read_bytes()


def test_listing_array_holds_the_csv_figures():
    run = vexa.assemble(realtime_loop(200)).simulate(max_instructions=333)
    rows = list(csv.DictReader(io.StringIO(run.listing_text(csv=True))))
    listing = run.listing()
    assert listing.dtype.names == tuple(rows[0])
    assert rows[-1]["count"] == "0"  # stop never ran: its times are empty, -1 in the array
    for row, record in zip(rows, listing, strict=True):
        expected = [row[n] if n == "text" else int(row[n] or -1) for n in listing.dtype.names]
        assert list(record) == expected, row


def test_events_are_read_only_lane_bits_and_can_be_left_out():
    prog = vexa.assemble(realtime_loop(3))
    full, bare = prog.simulate(), prog.simulate(events=False)
    with pytest.raises(ValueError):
        full.events["time_ns"][0] = 5
    assert list(full.events["mnemonic"][:3]) == ["play", "wait", "acquire"]
    assert list(full.lanes()[:3]) == [1 | 2, 8, 4]
    assert len(bare.events) == 0 and bare.events.dtype == full.events.dtype
    assert (bare.completed, bare.instructions, bare.realtime_cycles) == (
        full.completed, full.instructions, full.realtime_cycles)
    assert bare.listing_text() == full.listing_text()


@pytest.mark.parametrize("budget, error", [(-1, ValueError), (2**31, ValueError),
                                           (1.5, TypeError), ("10", TypeError)])
def test_budget_that_is_no_32_bit_count_is_refused(budget, error):
    prog = vexa.assemble("stop\n")
    for run in (prog.simulate, prog.iter_events):
        with pytest.raises(error, match="max_instructions"):
            run(max_instructions=budget)


def test_plot_draws_the_lanes():
    matplotlib = pytest.importorskip("matplotlib", reason="python3-matplotlib is needed to plot")
    matplotlib.use("Agg")
    ax = vexa.assemble(realtime_loop(3)).simulate().plot()
    assert [t.get_text() for t in ax.get_yticklabels()] == [
        "wait / update", "acquisition", "path 1", "path 0"]
    # One box per event and lane: plays in two lanes, waits and acquisitions in one.
    assert sum(len(c.get_paths()) for c in ax.collections) == 3 * 2 + 3 + 3
    assert ax.get_xlim() == (0, 1350)


def test_plot_colours_are_those_of_the_svg():
    matplotlib = pytest.importorskip("matplotlib", reason="python3-matplotlib is needed to plot")
    matplotlib.use("Agg")
    ax = vexa.assemble("play 9, 2, 10\nwait 20\nupd_param 30\nacquire 5, 0, 10\nstop\n"
                       ).simulate().plot()
    colours = [[matplotlib.colors.to_hex(c) for c in lane.get_facecolors()]
               for lane in ax.collections]
    assert colours == [["#59a14f"], ["#b07aa1"], ["#e15759"], ["#bab0ac", "#8c8fd6"]]


def test_readme_example_runs(tmp_path):
    out = subprocess.run(
        [sys.executable, EXAMPLES / "pulse_sequence.py", tmp_path / "t.png"],
        capture_output=True, text=True, cwd=SOURCE_DIR, timeout=120)
    assert out.returncode == 0, out.stderr
    assert "generated.s:2:5: 'Syntax error: Instruction wait argument 1" in out.stdout
    assert (tmp_path / "t.png").read_bytes().startswith(b"\x89PNG")
    assert "[(0, 10, 0.16905254, 0.00018435)] 0 findings" in out.stdout  # the averages
    assert (tmp_path / "signals.png").read_bytes().startswith(b"\x89PNG")
