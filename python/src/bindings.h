// The parts of the native module, one job each; module.cpp calls them in this order.
#pragma once

#include "pybind.h"

namespace vexa_py {

// Programs: assembling, loading, their words, hex text and disassembly.
void init_programs(py::module_& m);
// The counters of a run, shared by finished runs and event streams.
void init_run_counts(py::module_& m);
// Finished runs: events, log text, listing and timeline.
void init_runs(py::module_& m);
// The tables and settings of the signal model, from Python values.
void init_signal_setup(py::module_& m);
// What the signal layer gives about a finished run: rendered windows, acquisitions, findings.
void init_signals(py::module_& m);
// Finished runs as plain values and back, for pickling.
void init_run_state(py::module_& m);
// Runs in the background that hand their events over in chunks.
void init_streams(py::module_& m);
// The HTML report of a finished run.
void init_report(py::module_& m);
// The timeline's lanes, their names and colours, and the kind of each event.
void init_lanes(py::module_& m);

} // namespace vexa_py
