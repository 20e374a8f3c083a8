"""Assemble, check, simulate and plot examples/pulse_sequence.s with the vexa package.

    python3 examples/pulse_sequence.py [timeline.png [signals.png]]

The signals picture goes beside the timeline unless its path is given.
"""

import os
import pathlib
import sys

import matplotlib
import numpy as np

matplotlib.use("Agg")  # draw into a file, no window needed
import vexa

prog = vexa.assemble_file(os.path.relpath(pathlib.Path(__file__).parent / "pulse_sequence.s"))
print(prog, prog.words[:2])

# A mistake in generated source text: every error with its position.
try:
    vexa.assemble("move 10, R1\nwait 3\nplay 1, 2\nset_mrk 16\n", filename="generated.s")
except vexa.AssemblyError as err:
    for d in err.diagnostics:
        print(f"{d.filename}:{d.line}:{d.column}: {d.message!r} in {d.source!r}")

run = prog.simulate(max_instructions=1_000_000)
print(run.completed, run.instructions, run.realtime_cycles)
print(run.events[["time_ns", "duration_ns", "address", "mnemonic", "wave_idx0", "acq_idx"]][:3])
print(run.listing()[["address", "count", "first_time_ns", "realtime_ns"]])

# Assert on the schedule: ten plays, 450 ns apart.
plays = run.events[run.events["play_valid"]]
assert len(plays) == 10 and set(plays["time_ns"][1:] - plays["time_ns"][:-1]) == {450}

timeline = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "timeline.png")
ax = run.plot()
ax.figure.savefig(timeline, dpi=110, bbox_inches="tight")

# The signals: the same run with the waveform table (wave1, wave2) and the output looped back
# into the input 100 ns later, so that each acquisition sees the pulse it follows.
with np.load(pathlib.Path(__file__).parent / "pulse_sequence.npz") as table:
    waveforms = {int(name[len("wave"):]): table[name] for name in table.files}
run = prog.simulate(waveforms=waveforms, input="loopback", loopback_delay_ns=100,
                    integration_ns=100)
print(run.acquisitions[0], len(run.findings), "findings")
print(run.render(50, 53))
paths, markers = run.plot(signals=True, window=(0, 1400))
signals = sys.argv[2] if len(sys.argv) > 2 else timeline.with_name("signals.png")
paths.figure.savefig(signals, dpi=110, bbox_inches="tight")
