"""The real-time timeline of a simulation drawn with matplotlib: the lanes of vexasim's SVG
(waveform path 0, path 1, acquisitions, waits and parameter updates), one box per event as
wide as its duration."""

from __future__ import annotations

import numpy as np

LANES = ("path 0", "path 1", "acquisition", "wait / update")
_WAVE_COLOURS = ("#4e79a7", "#59a14f", "#b07aa1", "#76b7b2", "#9c755f", "#edc948", "#ff9da7", "#86bcb6")
_ACQUISITION_COLOURS = ("#f28e2b", "#e15759", "#d37295", "#ffbe7d")
_WAIT_COLOUR = "#bab0ac"
_UPDATE_COLOUR = "#8c8fd6"


def _colours(events, lane: int) -> list[str]:
    if lane in (0, 1):
        index = events[f"wave_idx{lane}"]
        return [_WAVE_COLOURS[i % len(_WAVE_COLOURS)] for i in index]
    if lane == 2:
        return [_ACQUISITION_COLOURS[i % len(_ACQUISITION_COLOURS)] for i in events["acq_idx"]]
    waits = np.char.startswith(events["mnemonic"], "wait")
    return [_WAIT_COLOUR if w else _UPDATE_COLOUR for w in waits]


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
