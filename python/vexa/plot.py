"""A simulation drawn with matplotlib: the real-time timeline, the lanes of vexasim's SVG
(waveform path 0, path 1, acquisitions, waits and parameter updates) with its names and
colours, one box per event as wide as its duration; and the rendered output, both paths with
the acquisition windows behind them and the four marker lines below."""

from __future__ import annotations

import numpy as np

from . import _vexa

LANES = tuple(_vexa.LANE_NAMES)
_WAVE_COLOURS = np.array(_vexa.WAVE_COLOURS)
_ACQUISITION_COLOURS = np.array(_vexa.ACQUISITION_COLOURS)
_WAIT = _vexa.EVENT_KIND_NAMES.index("wait")


def _colours(events, lane: int) -> list[str]:
    if lane in (0, 1):
        index = events[f"wave_idx{lane}"]
        return _WAVE_COLOURS[index % len(_WAVE_COLOURS)].tolist()
    if lane == 2:
        return _ACQUISITION_COLOURS[events["acq_idx"] % len(_ACQUISITION_COLOURS)].tolist()
    waits = _vexa.event_kinds(events["mnemonic"]) == _WAIT
    return np.where(waits, _vexa.WAIT_COLOUR, _vexa.UPDATE_COLOUR).tolist()


def plot_timeline(run, ax=None):
    import matplotlib.pyplot as plt

    if ax is None:
        _, ax = plt.subplots(figsize=(10, 2.6))
    events = run.events
    lanes = run.lanes()
    height = 0.8
    for lane in range(len(LANES)):
        selected = events[(lanes & (1 << lane)) != 0]
        if len(selected) == 0:
            continue
        spans = np.column_stack((selected["time_ns"], selected["duration_ns"])).astype(float)
        y = len(LANES) - 1 - lane
        ax.broken_barh(spans, (y - height / 2, height), facecolors=_colours(selected, lane),
                       edgecolor="white", linewidth=0.5)
    ax.set_yticks(range(len(LANES)))
    ax.set_yticklabels(reversed(LANES))
    ax.set_ylim(-0.6, len(LANES) - 0.4)
    end = int((events["time_ns"] + events["duration_ns"]).max()) if len(events) else 1
    ax.set_xlim(0, max(end, 1))
    ax.set_xlabel("time (ns)")
    ax.set_title(f"{run.program.filename}: {len(events)} real-time entries, {end} ns")
    return ax


def plot_signals(run, window=None, axes=None):
    import matplotlib.pyplot as plt

    events = run.events
    if window is None:
        end = int((events["time_ns"] + events["duration_ns"]).max()) if len(events) else 1
        window = (0, max(end, 1))
    start, stop = (int(v) for v in window)
    signals = run.render(start, stop)
    if axes is None:
        _, axes = plt.subplots(2, 1, sharex=True, figsize=(10, 4.2),
                               gridspec_kw={"height_ratios": [3, 1.3]})
    paths, markers = axes

    windows = run.acquisition_windows()
    length = np.maximum(windows["length0"], windows["length1"])
    shown = (windows["time_ns"] < stop) & (windows["time_ns"] + length > start)
    if shown.any():
        spans = np.column_stack((windows["time_ns"][shown], length[shown])).astype(float)
        colours = _ACQUISITION_COLOURS[windows["acq_idx"][shown] % len(_ACQUISITION_COLOURS)]
        paths.broken_barh(spans, (-1.05, 2.1), facecolors=colours.tolist(), alpha=0.2,
                          label="acquisition windows")
    paths.plot(signals.time_ns, signals.path0, linewidth=0.9, label="path 0")
    paths.plot(signals.time_ns, signals.path1, linewidth=0.9, label="path 1")
    paths.set_ylim(-1.1, 1.1)
    paths.set_ylabel("output")
    paths.legend(loc="upper right", fontsize="small")
    paths.set_title(f"{run.program.filename}: output from {start} to {stop} ns")

    for line in range(4):
        level = ((signals.markers >> line) & 1) * 0.7 + line
        markers.step(signals.time_ns, level, where="post", linewidth=0.9)
    markers.set_yticks(range(4))
    markers.set_yticklabels([f"marker {line}" for line in range(4)])
    markers.set_ylim(-0.3, 3.9)
    markers.set_xlim(start, max(stop - 1, start + 1))
    markers.set_xlabel("time (ns)")
    return paths, markers
