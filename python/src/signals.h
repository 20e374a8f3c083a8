// What the signal layer gives about a run, as numpy arrays: its acquisitions and findings
// (gathered while the simulator runs), and windows of its output and its acquisition windows
// (rendered afterwards from the run's stored events).
#pragma once

#include "program.h"
#include "pybind.h"

#include "formats/seq_listing.h"
#include "signals/seq_signal_sink.h"

#include <vector>

namespace vexa_py {

// The results of a run through a seq_signal_sink, taken without the interpreter lock.
struct SignalResults {
    seq_finding_list findings;
    std::vector<seq_acquisition> acquisitions;
    std::vector<seq_finding> sorted;      // the findings by time, then address
    std::vector<seq_listing::Line> lines; // the program's lines, when there are findings

    // After the run, with the program's mutex held.
    void take(const seq_signal_sink& sink, Program& program);
};

// {acq_idx: structured array of its bins (bin, count, path0, path1), by bin}.
py::dict acquisitionsDict(const std::vector<seq_acquisition>& acquisitions);
// One record per finding: time_ns, address, line (of the listing, from 1; 0 when the source
// cannot be read), kind, message and source (the line's text).
py::array findingsArray(const SignalResults& results);

} // namespace vexa_py
