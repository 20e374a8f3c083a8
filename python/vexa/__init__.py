"""Assemble, disassemble and simulate programs of the Vexa sequencer processor.

    import vexa
    prog = vexa.assemble(text)              # or assemble_file(path), load_hex(path)
    run = prog.simulate()
    run.events                              # numpy structured array, one record per event
    run.listing()                           # per instruction: count and real-time figures

    run = prog.simulate(waveforms={1: samples}, input="loopback", integration_ns=100)
    run.render(0, 2000)                     # Signals: time_ns, path0, path1, markers
    run.acquisitions, run.findings          # {acq_idx: bins}, timing findings

Assembly errors raise AssemblyError, whose diagnostics give each error's position and text.
Long calls release the interpreter lock, so programs can be assembled and simulated in
several threads at once; each Program owns its own processor model.
"""

from __future__ import annotations

import os
import sys
from typing import Iterator, NamedTuple, Optional

import numpy as np

from . import _vexa

__version__: str = _vexa.__version__

__all__ = [
    "AssemblyError",
    "Diagnostic",
    "EventIterator",
    "Program",
    "Signals",
    "SimulationResult",
    "assemble",
    "assemble_file",
    "from_words",
    "load_hex",
    "log_level",
    "set_log_level",
    "__version__",
]

# The simulator counts instructions in 32 bits; its budget is a signed 32-bit number.
MAX_INSTRUCTIONS_LIMIT = 2**31 - 1


class Diagnostic(NamedTuple):
    """One error of an assembly, as its block in the error report shows it.

    `column` is the offset of the marked text in the line (in bytes, counted from 0) and
    `length` its length, as the report's marker line shows them; `source` is the quoted line.
    An error without a source position (such as "Program too long") has `line`, `column`
    and `source` None.
    """

    filename: Optional[str]
    line: Optional[int]
    column: Optional[int]
    length: int
    message: str
    source: Optional[str]


class AssemblyError(ValueError):
    """The source has errors; str() is the full error report, as vexasm logs it."""

    def __init__(self, report: str, diagnostics: list[Diagnostic]):
        super().__init__(report)
        self.report = report
        self.diagnostics = diagnostics

    def __str__(self) -> str:
        return self.report


class Signals(NamedTuple):
    """A window of a run's output, one sample per ns: time_ns (int64), the two output paths
    path0 and path1 (float32) and the four marker lines as the bits of markers (uint8)."""

    time_ns: np.ndarray
    path0: np.ndarray
    path1: np.ndarray
    markers: np.ndarray


def set_log_level(name: str) -> None:
    """Sets the level of the library's log on standard error ("error" by default)."""
    _vexa.set_log_level(name)


def log_level() -> str:
    return _vexa.log_level()


def _path_bytes(path) -> bytes:
    return os.fsencode(path)


def _source_bytes(text) -> bytes:
    if isinstance(text, str):
        # Lone surrogates (file names or text decoded with surrogateescape) keep their bytes.
        return text.encode("utf-8", "surrogateescape")
    if isinstance(text, (bytes, bytearray, memoryview)):
        return bytes(text)
    raise TypeError(f"source must be str or bytes, not {type(text).__name__}")


def _budget(max_instructions) -> int:
    try:
        value = int(max_instructions.__index__())
    except AttributeError:
        raise TypeError(
            f"max_instructions must be an integer, not {type(max_instructions).__name__}"
        ) from None
    if not 0 <= value <= MAX_INSTRUCTIONS_LIMIT:
        raise ValueError(
            f"max_instructions must be between 0 and {MAX_INSTRUCTIONS_LIMIT}, not {value}"
        )
    return value


def assemble(text, filename: str = "<string>") -> "Program":
    """Assembles source text (str, or bytes in any encoding).

    `filename` names the source in error reports. Raises AssemblyError.
    """
    return Program(_vexa.assemble(_source_bytes(text), _path_bytes(filename)))


def assemble_file(path) -> "Program":
    """Assembles a source file. Raises AssemblyError, or OSError when it cannot be read."""
    return Program(_vexa.assemble_file(_path_bytes(path)))


def load_hex(path) -> "Program":
    """Loads a .hex file as vexasm writes it.

    Raises FileNotFoundError when it does not exist, OSError when it cannot be read and
    ValueError, naming the file and line, when a line is no instruction word or the file holds
    more words than the instruction memory.
    """
    return Program(_vexa.load_hex(_path_bytes(path)))


def from_words(words, name: str = "<words>") -> "Program":
    """A program made of instruction words: a sequence or 1-D array of integers.

    Raises TypeError for values that are no integers (floats included) and ValueError for a
    value below 0 or from 2**64 on, naming the first one.
    """
    return Program(_vexa.from_words(words, _path_bytes(name)))


class Program:
    """An assembled or loaded program in a processor model of its own."""

    def __init__(self, core):
        self._core = core

    @property
    def filename(self) -> str:
        """The source's name as reports show it."""
        return self._core.name

    @property
    def words(self) -> np.ndarray:
        """The instruction words, one per instruction (a new uint64 array)."""
        return self._core.words()

    def __len__(self) -> int:
        return len(self._core)

    def __repr__(self) -> str:
        return f"<vexa.Program {self.filename!r}: {len(self)} instructions>"

    def __reduce__(self):
        # A pickled program (for a process pool or a Dask worker) travels as its words; its
        # listing is then the disassembly.
        return (from_words, (self.words, self.filename))

    def to_hex(self) -> str:
        """The text that vexasm writes to the .hex file."""
        return self._core.to_hex()

    def save_hex(self, path) -> None:
        """Writes the .hex file; an existing file is replaced only by a complete one."""
        self._core.save_hex(_path_bytes(path))

    def disassemble(self, labels: bool = True) -> str:
        """The text that vexadis writes; labels=False gives that of vexadis -n."""
        return self._core.disassemble(bool(labels))

    def simulate(
        self,
        max_instructions: int = 1_000_000,
        events: bool = True,
        *,
        waveforms=None,
        weights=None,
        input=None,
        integration_ns: Optional[int] = None,
        loopback_delay_ns: Optional[int] = None,
        nco_hz: Optional[float] = None,
        queue_depth: Optional[int] = None,
        start_delay_ns: Optional[int] = None,
        classical_ns: Optional[int] = None,
    ) -> "SimulationResult":
        """Runs the program from address 0 until stop, an error or the budget.

        events=False keeps no event (the result's events are empty): the counters and the
        listing of a long run without the memory of its events.

        Given tables or any signal setting, the run also goes through the signal model, which
        gives its acquisitions and findings: waveforms (indices 0 to 1023) and weights (0 to
        63) as dicts {index: samples} or sequences of sample arrays (None for an absent
        entry), samples in [-1, 1]; input "zero", "loopback" or an array of input samples
        (1-D for both paths, or of shape (2, N)); the settings integration_ns,
        loopback_delay_ns, nco_hz, queue_depth, start_delay_ns and classical_ns (None keeps
        the default). A bad entry or setting raises TypeError or ValueError naming it.
        """
        setup = None
        if not (waveforms is None and weights is None and input is None
                and integration_ns is None and loopback_delay_ns is None and nco_hz is None
                and queue_depth is None and start_delay_ns is None and classical_ns is None):
            settings = {
                "input": input,
                "integration_ns": integration_ns,
                "loopback_delay_ns": loopback_delay_ns,
                "nco_hz": nco_hz,
                "queue_depth": queue_depth,
                "start_delay_ns": start_delay_ns,
                "classical_ns": classical_ns,
            }
            settings = {name: value for name, value in settings.items() if value is not None}
            setup = _vexa.SignalSetup(waveforms, weights, settings)
        run = _vexa.simulate(self._core, _budget(max_instructions), bool(events), setup)
        return SimulationResult(self, run)

    def iter_events(
        self, max_instructions: int = 10**9, chunk_size: int = 1_000_000
    ) -> "EventIterator":
        """Simulates in the background and yields the events in arrays of at most chunk_size.

        Memory stays bounded by a few chunks however long the run. Closing the iterator
        (or dropping it) stops the run.
        """
        budget = _budget(max_instructions)
        size = int(chunk_size.__index__())
        if size < 1:
            raise ValueError(f"chunk_size must be at least 1, not {size}")
        return EventIterator(_vexa.stream(self._core, budget, size))


class SimulationResult:
    """One simulation of a program: its outcome, counters, events and timed listing."""

    def __init__(self, program: Program, run):
        self.program = program
        self._run = run
        counts = run.counts
        self.completed: bool = counts.completed
        self.message: str = counts.message
        self.instructions: int = counts.instructions
        self.classical_cycles: int = counts.classical_cycles
        self.realtime_cycles: int = counts.realtime_cycles
        # Read-only: the other views of the run are made from these records.
        self.events: np.ndarray = run.events

    @property
    def acquisitions(self) -> Optional[dict[int, np.ndarray]]:
        """For a run through the signal model (None otherwise): per acquisition index its bins
        by bin index, a structured array (bin, count, path0, path1: the averages)."""
        return self._run.acquisitions

    @property
    def findings(self) -> Optional[np.ndarray]:
        """For a run through the signal model (None otherwise): the timing findings by time,
        a structured array (time_ns, address, line, kind, message, source: the line's text;
        line is 0 when the source cannot be read again)."""
        return self._run.findings

    def __reduce__(self):
        return (_restore_result, (self.program, _vexa.run_state(self._run)))

    def __repr__(self) -> str:
        outcome = "completed" if self.completed else f"interrupted: {self.message}"
        return (
            f"<vexa.SimulationResult {outcome}; {self.instructions} instructions, "
            f"{len(self.events)} events, {self.realtime_cycles} real-time cycles>"
        )

    def log_text(self) -> str:
        """The real-time log text as vexasim prints it."""
        return self._run.log_text()

    def listing(self) -> np.ndarray:
        """The timed listing, one record per instruction.

        Fields: address, count, first_tick, first_time_ns, realtime_ns, text (the source
        line, or the disassembly of a loaded image). The time fields are -1 for an
        instruction that never ran.
        """
        return self._run.listing()

    def listing_text(self, csv: bool = False) -> str:
        """The listing that vexasim --listing writes (as CSV for csv=True)."""
        return self._run.listing_text(bool(csv))

    def lanes(self) -> np.ndarray:
        """Per event, the timeline lanes it is drawn in, as bits: 1 path 0, 2 path 1,
        4 acquisition, 8 wait and parameter update."""
        return self._run.lanes()

    def save_svg(self, path, title: Optional[str] = None) -> None:
        """Writes the SVG timeline that vexasim --svg draws."""
        heading = self.program.filename if title is None else title
        self._run.save_svg(_path_bytes(path), _source_bytes(heading))

    def save_html(self, path, title: Optional[str] = None) -> None:
        """Writes the self-contained HTML report that vexasim --html writes: the timed listing,
        the zoomable timeline, the event table, the counters and the outcome."""
        heading = self.program.filename if title is None else title
        _vexa.save_html(self._run, _path_bytes(path), _source_bytes(heading))

    def render(self, start_ns: int, stop_ns: int) -> Signals:
        """The output of [start_ns, stop_ns), rendered from the events with the run's tables
        and settings (without them: no waveforms, the default settings).

        Raises ValueError for a window that ends before it starts or is too large to hold
        (render it in parts then).
        """
        return Signals(*self._run.render(int(start_ns), int(stop_ns)))

    def acquisition_windows(self) -> np.ndarray:
        """Per acquisition its input window: time_ns, length0 and length1 (per path, in ns),
        acq_idx and bin_idx."""
        return self._run.acquisition_windows()

    def plot(self, ax=None, signals: bool = False, window=None):
        """Draws the timeline's lanes with matplotlib; returns the Axes.

        signals=True draws the rendered output instead: both paths with the acquisition
        windows, and the marker lines, over window=(start_ns, stop_ns) (by default the whole
        run); ax is then a pair of Axes or None, and the pair is returned.
        """
        if signals:
            from .plot import plot_signals

            return plot_signals(self, window, ax)
        if window is not None:
            raise ValueError("window applies to signals=True")
        from .plot import plot_timeline

        return plot_timeline(self, ax)


def _restore_result(program: Program, state) -> SimulationResult:
    return SimulationResult(program, _vexa.restore_run(program._core, state))


class EventIterator:
    """The events of a background run, in chunks; see Program.iter_events.

    After the last chunk, completed, message and the counters describe the run.
    """

    def __init__(self, stream):
        self._stream = stream

    def __iter__(self) -> Iterator[np.ndarray]:
        return self

    def __next__(self) -> np.ndarray:
        if self._stream is None:
            raise StopIteration
        chunk = self._stream.next()
        if chunk is None:
            raise StopIteration
        return chunk

    def close(self) -> None:
        """Stops the run; chunks not yet taken are dropped."""
        if self._stream is not None:
            self._stream.close()

    def __enter__(self) -> "EventIterator":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def __del__(self):
        # At interpreter exit the stream's own destructor stops the run.
        stream = getattr(self, "_stream", None)
        if stream is not None and not sys.is_finalizing():
            stream.close()

    # Each raises RuntimeError while the run goes on.
    @property
    def completed(self) -> bool:
        return self._stream.counts.completed

    @property
    def message(self) -> str:
        return self._stream.counts.message

    @property
    def instructions(self) -> int:
        return self._stream.counts.instructions

    @property
    def classical_cycles(self) -> int:
        return self._stream.counts.classical_cycles

    @property
    def realtime_cycles(self) -> int:
        return self._stream.counts.realtime_cycles
