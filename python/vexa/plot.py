"""The real-time timeline of a simulation drawn with matplotlib: the lanes of vexasim's SVG
(waveform path 0, path 1, acquisitions, waits and parameter updates) with its names and
colours, one box per event as wide as its duration."""

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
