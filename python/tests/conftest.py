"""Shared helpers: the built tools (paths from the environment that ctest sets, else the
default build folder), the examples, and sources written for the tests."""

import os
import pathlib
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VEXA_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAMPLES = SOURCE_DIR / "examples"
# The examples that assemble; error_report.s holds deliberate mistakes.
GOOD_EXAMPLES = sorted(p for p in EXAMPLES.glob("*.s") if p.name != "error_report.s")

# A real-time loop: each pass plays, waits, acquires and sets the marker (5 instructions,
# 3 events), `passes` times.
def realtime_loop(passes: int) -> str:
    return (
        f"        move    {passes}, R1\n"
        "top:    play    1, 2, 100\n"
        "        wait    250\n"
        "        acquire 0, 0, 100\n"
        "        set_mrk 1\n"
        "        loop    R1, @top\n"
        "        stop\n"
    )


def tool(name: str) -> str:
    path = os.environ.get(name.upper(), str(SOURCE_DIR / "build" / name))
    if not os.access(path, os.X_OK):
        pytest.fail(f"{name} not built at {path} (set {name.upper()} to its path)")
    return path


def run_tool(name: str, *args, cwd=None) -> subprocess.CompletedProcess:
    return subprocess.run([tool(name), *map(str, args)], capture_output=True, cwd=cwd, timeout=300)


@pytest.fixture
def write(tmp_path):
    """Writes text (or bytes) to a file in the test's folder and returns its path."""

    def write(name: str, content) -> pathlib.Path:
        path = tmp_path / name
        if isinstance(content, str):
            content = content.encode()
        path.write_bytes(content)
        return path

    return write
