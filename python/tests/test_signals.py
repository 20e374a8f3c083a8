"""The signal model through Python: rendered samples, acquisitions and findings worked out by
hand, refused tables and settings, and runs that pickle."""

import csv
import pickle

import numpy as np
import pytest

import vexa
from conftest import run_tool

TOP = np.float32(32767 / 32768)  # the start-up gain and offset
OFFSET = np.float32(1000 / 32768)

RAMP = """\
        set_awg_gain 16384, 16384
        set_awg_offs 1000, -1000
        set_mrk 5
        wait 10
        play 1, 0, 20
        stop
"""

# Each of three passes plays 0.5 on path 0 and -1 on path 1 at half gain from t0 = 220 * pass;
# `acquire` averages 50 samples from t0 + 10 into bin R1, `acquire_weighed` weighs path 0 by
# 40 ones and path 1 by 20 halves from t0 + 20 into bin 0. After the loop: a play of a missing
# waveform at 660, and a play at 664 that cuts waveform 1 on path 1 after 4 samples.
LOOP = """\
        set_awg_gain 16384, 16384
        set_awg_offs 0, 0
        move 3, R1
top:    play 1, 2, 10
        acquire 0, R1, 10
        acquire_weighed 1, 0, 0, 1, 200
        loop R1, @top
        play 7, 1, 4
        play 1, 1, 4
        stop
"""


def loopback_run():
    return vexa.assemble(LOOP, "loop.s").simulate(
        waveforms={1: np.full(100, 0.5), 2: np.full(100, -1.0)},
        weights=[np.ones(40), np.full(20, 0.5, dtype=np.float32)],
        input="loopback", integration_ns=50)


def test_ramp_with_gain_and_offset_and_markers_from_the_play():
    run = vexa.assemble(RAMP).simulate(waveforms=[[], [0, 0.25, 0.5, 0.75]])
    signals = run.render(8, 16)
    assert signals.time_ns.dtype == np.int64 and signals.path0.dtype == np.float32
    assert signals.time_ns.tolist() == list(range(8, 16))
    # 0.5 * sample + 1000 / 32768 from the play at t = 10; the start-up state before it.
    ramp = np.float32([0, 0.125, 0.25, 0.375]) + OFFSET
    np.testing.assert_array_equal(signals.path0, [TOP, TOP, *ramp, OFFSET, OFFSET])
    np.testing.assert_array_equal(signals.path1, [TOP, TOP] + [-OFFSET] * 6)  # empty waveform 0
    assert signals.markers.tolist() == [0, 0, 5, 5, 5, 5, 5, 5]
    assert run.findings.size == 0 and run.acquisitions == {}


def test_loopback_acquisitions_average_into_bins():
    acquisitions = loopback_run().acquisitions
    assert sorted(acquisitions) == [0, 1]
    assert acquisitions[0].dtype.names == ("bin", "count", "path0", "path1")
    # Path 0: 0.5 * 0.5; path 1: 0.5 * -1, weighed by 0.5 over the weight's 20 samples.
    assert acquisitions[0].tolist() == [(1, 1, 0.25, -0.5), (2, 1, 0.25, -0.5), (3, 1, 0.25, -0.5)]
    assert acquisitions[1].tolist() == [(0, 3, 0.25, -0.25)]


def test_user_input_samples_per_path():
    source = "upd_param 4\nacquire 0, 0, 16\nstop\n"  # integrates [4, 8)
    samples = np.array([[0, 0, 0, 0, 1, 1, 0.5, 0.5, 1], [0, 0, 0, 0, -1, 0, 0, 0, 0]])
    run = vexa.assemble(source).simulate(input=samples, integration_ns=4)
    assert run.acquisitions[0].tolist() == [(0, 1, 0.75, -0.25)]
    both = vexa.assemble(source).simulate(input=samples[0], integration_ns=4)
    assert both.acquisitions[0].tolist() == [(0, 1, 0.75, 0.75)]


def test_findings_carry_their_source_lines():
    findings = loopback_run().findings
    assert findings.dtype.names == ("time_ns", "address", "line", "kind", "message", "source")
    assert findings[["time_ns", "address", "line", "kind"]].tolist() == [
        (20, 5, 6, "acquisition_overlap"), (240, 5, 6, "acquisition_overlap"),
        (460, 5, 6, "acquisition_overlap"), (660, 7, 8, "missing_waveform"),
        (664, 8, 9, "cut_short")]
    assert findings["source"][0] == "        acquire_weighed 1, 0, 0, 1, 200"
    assert findings["source"][3] == "        play 7, 1, 4"
    assert findings["message"][4] == "path 1: waveform 1 cut after 4 of 100 samples"


def test_findings_acquisitions_and_samples_equal_vexasim(tmp_path):
    (tmp_path / "loop.s").write_text(LOOP)
    np.savez(tmp_path / "tables.npz", wave1=np.full(100, 0.5), wave2=np.full(100, -1.0),
             weight0=np.ones(40), weight1=np.full(20, 0.5))
    tool = run_tool("vexasim", "--waveforms", tmp_path / "tables.npz", "--input", "loopback",
                    "--integration-ns", 50, "--findings", tmp_path / "f.csv", "--acquisitions",
                    tmp_path / "a.csv", "--signals", tmp_path / "s.npz", "--window", "5:700",
                    tmp_path / "loop.s")
    assert tool.returncode == 0, tool.stderr
    run = loopback_run()
    with open(tmp_path / "f.csv", newline="") as f:
        rows = [(int(r["time_ns"]), int(r["address"]), int(r["line"]), r["kind"], r["message"])
                for r in csv.DictReader(f)]
    assert rows == run.findings[["time_ns", "address", "line", "kind", "message"]].tolist()
    with open(tmp_path / "a.csv", newline="") as f:
        rows = [tuple(float(v) for v in r.values()) for r in csv.DictReader(f)]
    assert rows == [(acq, *bin) for acq, bins in run.acquisitions.items() for bin in bins.tolist()]
    with np.load(tmp_path / "s.npz") as theirs:
        for name, mine in run.render(5, 700)._asdict().items():
            np.testing.assert_array_equal(mine, theirs[name], err_msg=name)


def test_a_run_without_the_signal_model_renders_its_offsets():
    run = vexa.assemble(RAMP).simulate()
    assert run.acquisitions is None and run.findings is None
    signals = run.render(9, 11)
    assert signals.path0.tolist() == [TOP, OFFSET] and signals.markers.tolist() == [0, 5]
    with pytest.raises(ValueError, match="kept no events"):
        vexa.assemble(RAMP).simulate(events=False).render(0, 1)


BAD = [
    # (simulate's keywords, exception, message)
    ({"waveforms": {3: [0, 2.0]}}, ValueError, "waveform 3: sample 1 is 2, outside [-1, 1]"),
    ({"waveforms": [None, [np.nan]]}, ValueError, "waveform 1: sample 0 is NaN"),
    ({"waveforms": {1024: [0]}}, ValueError, "waveform 1024: index outside 0 to 1023"),
    ({"weights": {64: []}}, ValueError, "weight 64: index outside 0 to 63"),
    ({"weights": [None, np.zeros((2, 2))]}, ValueError,
     "weight 1: samples must be a 1-D array, not of shape (2, 2)"),
    ({"waveforms": {0: ["a"]}}, TypeError, "waveform 0: samples must be numbers, not <U1"),
    ({"waveforms": {"x": [0]}}, TypeError, "waveforms: index 'x' is not an integer"),
    ({"waveforms": np.zeros(3)}, TypeError, "waveforms must be a dict {index: samples}"),
    ({"integration_ns": 0}, ValueError, "integration_ns: 0 must be at least 1"),
    ({"queue_depth": -1}, ValueError, "queue_depth: -1 is negative"),
    ({"loopback_delay_ns": 2**70}, ValueError, "loopback_delay_ns: 9223372036854775807 is beyond"),
    ({"nco_hz": 1e9}, ValueError, "nco_hz: 1e+09 is beyond"),
    ({"classical_ns": 2.5}, TypeError, "classical_ns must be an integer, not float"),
    ({"input": "in.npy"}, ValueError, "input: 'in.npy' is neither zero nor loopback"),
    ({"input": np.zeros((3, 4))}, ValueError,
     "input: samples must be 1-D or of shape (2, N), not of shape (3, 4)"),
    ({"input": [0, np.inf]}, ValueError, "input path 0: sample 1 is inf"),
]


@pytest.mark.parametrize("keywords, error, message", BAD, ids=[m for _, _, m in BAD])
def test_bad_tables_and_settings_are_refused_by_name(keywords, error, message):
    with pytest.raises(error) as info:
        vexa.assemble("stop\n").simulate(**keywords)
    assert message in str(info.value)


def test_bad_windows_are_refused():
    run = vexa.assemble(RAMP).simulate()
    for (start, stop), message in [((20, 10), "window: stop 10 is before start 20"),
                                   ((-1, 10), "window: start -1 is negative"),
                                   ((0, 2**40), "render smaller windows")]:
        with pytest.raises(ValueError, match=message):
            run.render(start, stop)


def test_runs_pickle_with_their_signals():
    run = loopback_run()
    back = pickle.loads(pickle.dumps(run))
    assert back.program.words.tolist() == run.program.words.tolist()
    assert (back.completed, back.instructions, back.realtime_cycles) == (
        run.completed, run.instructions, run.realtime_cycles)
    assert back.events.tobytes() == run.events.tobytes()
    assert back.listing().tolist()[0][:5] == run.listing().tolist()[0][:5]
    assert back.findings.tolist() == run.findings.tolist()  # with the source lines
    assert {k: v.tolist() for k, v in back.acquisitions.items()} == {
        k: v.tolist() for k, v in run.acquisitions.items()}
    for mine, theirs in zip(back.render(0, 700), run.render(0, 700)):
        np.testing.assert_array_equal(mine, theirs)


def test_plot_draws_paths_markers_and_acquisition_windows():
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    paths, markers = loopback_run().plot(signals=True, window=(0, 300))
    np.testing.assert_array_equal(paths.lines[0].get_ydata(), loopback_run().render(0, 300).path0)
    assert len(markers.lines) == 4
    # Four acquisition windows start before 300 ns: 10, 20, 230, 240.
    assert len(paths.collections[0].get_paths()) == 4
