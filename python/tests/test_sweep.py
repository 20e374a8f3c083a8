"""A parameter sweep on a Dask cluster of two worker processes: the example's points, and a
whole run that a worker simulates and pickles back."""

import logging
import sys

import numpy as np
import pytest

from conftest import EXAMPLES

distributed = pytest.importorskip(
    "distributed", reason="python3-distributed is not installed: no Dask cluster to sweep on")

TIMEOUT = 120  # seconds for any one result; the cluster itself starts in a few
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")


@pytest.fixture(scope="module")
def sweep_client():
    # The workers are processes started from this one: they import the example by its name.
    sys.path.insert(0, str(EXAMPLES))
    try:
        import sweep

        with distributed.LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
            silence_logs=logging.ERROR,
        ) as cluster, distributed.Client(cluster, timeout=TIMEOUT) as client:
            yield sweep, client
    finally:
        sys.path.remove(str(EXAMPLES))


def test_sweep_collects_the_acquisition_averages(sweep_client):
    sweep, client = sweep_client
    points = sweep.sweep(client, [0, 8192, 16384, 32767], passes=10, timeout=TIMEOUT)
    # 0.5 * gain / 32768 on both paths, ten acquisitions into bin 0, no findings.
    assert [(gain, bins.tolist(), findings) for gain, bins, findings in points] == [
        (0, [(0, 10, 0.0, 0.0)], 0),
        (8192, [(0, 10, 0.125, 0.125)], 0),
        (16384, [(0, 10, 0.25, 0.25)], 0),
        (32767, [(0, 10, 32767 / 65536, 32767 / 65536)], 0),
    ]
    assert len(client.scheduler_info()["workers"]) == 2


def test_a_run_comes_back_from_a_worker_whole(sweep_client):
    sweep, client = sweep_client
    remote = client.submit(sweep.simulate_point, 8192, 3).result(timeout=TIMEOUT)
    local = sweep.simulate_point(8192, 3)
    assert remote.events.tobytes() == local.events.tobytes()
    assert remote.acquisitions[0].tolist() == [(0, 3, 0.125, 0.125)]
    for theirs, mine in zip(remote.render(0, 1300), local.render(0, 1300)):
        np.testing.assert_array_equal(theirs, mine)
