"""Shared helpers: the built tools, the examples, and a source written for the tests."""

import os
import pathlib
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VEXA_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE_DIR / "examples"
# The examples that assemble; error_report.s holds deliberate mistakes.
GOOD_EXAMPLES = sorted(p for p in EXAMPLES.glob("*.s") if p.name != "error_report.s")


def realtime_loop(passes: int) -> str:
    """Each pass plays, waits, acquires and sets the marker (5 instructions, 3 events)."""
    return (
        f"        move    {passes}, R1\n"
        "top:    play    1, 2, 100\n"
        "        wait    250\n"
        "        acquire 0, 0, 100\n"
        "        set_mrk 1\n"
        "        loop    R1, @top\n"
        "        stop\n"
    )


def run_tool(name: str, *args) -> subprocess.CompletedProcess:
    path = os.environ.get(name.upper(), str(SOURCE_DIR / "build" / name))
    if not os.access(path, os.X_OK):
        pytest.fail(f"{name} not built at {path} (set {name.upper()} to its path)")
    return subprocess.run([path, *map(str, args)], capture_output=True, timeout=300)
