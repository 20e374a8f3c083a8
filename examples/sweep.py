"""Sweep the output gain of a pulse-and-acquire program on a Dask cluster of worker processes.

Each point of the sweep writes its gain into the program's source, assembles it, simulates
it with the output looped back into the input and returns the acquisition averages; the
points run in parallel, one simulation per worker process at a time.

    python3 examples/sweep.py [workers]

The pulse is 200 samples of 0.5 and the acquisition integrates the 200 samples that come
back 20 ns after it starts, so each average is 0.5 * gain / 32768 on both paths.
"""

import sys

import numpy as np

import vexa

SOURCE = """\
        set_awg_gain    {gain}, {gain}
        set_awg_offs    0, 0
        move            {passes}, R1
again:  play            1, 1, 20          # the pulse on both paths
        acquire         0, 0, 400         # its echo, averaged into bin 0
        loop            R1, @again
        stop
"""
PULSE = {1: np.full(200, 0.5)}
SETTINGS = {"input": "loopback", "loopback_delay_ns": 20, "integration_ns": 200}
GAINS = [0, 4096, 8192, 16384, 32767]


def simulate_point(gain: int, passes: int = 1000) -> vexa.SimulationResult:
    """One point: the whole run (it pickles back to the client with its signals)."""
    prog = vexa.assemble(SOURCE.format(gain=gain, passes=passes), filename=f"gain{gain}.s")
    return prog.simulate(waveforms=PULSE, **SETTINGS)


def measure(gain: int, passes: int = 1000):
    """One point, kept small: the gain, the bins of acquisition 0 and the findings count."""
    run = simulate_point(gain, passes)
    return gain, run.acquisitions[0], len(run.findings)


def sweep(client, gains, passes: int = 1000, timeout=None):
    """The points in the order of `gains`, computed on the client's workers; each waits at
    most `timeout` seconds (None: as long as it takes)."""
    futures = client.map(measure, gains, passes=passes, pure=False)
    return [future.result(timeout=timeout) for future in futures]


def main() -> None:
    from dask.distributed import Client, LocalCluster

    workers = int(sys.argv[1]) if len(sys.argv) > 1 else 2
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        for gain, bins, findings in sweep(client, GAINS):
            (count, path0, path1), = bins[["count", "path0", "path1"]].tolist()
            print(f"gain {gain:5d}: {count} acquisitions, averages {path0:.6f} {path1:.6f}, "
                  f"{findings} findings")


if __name__ == "__main__":
    main()
