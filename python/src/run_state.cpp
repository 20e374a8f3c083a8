// A finished run as plain values and back, so that it pickles (to a process pool or a Dask
// worker and back): its counts, event records, profile, signal setup and signal results.
// The program travels on its own; a run is restored onto it.

#include "bindings.h"
#include "records_array.h"
#include "run.h"
#include "text.h"

#include <utility>

namespace vexa_py {

namespace {

constexpr py::ssize_t kProfileColumns = 4;

py::tuple runState(const Run& run) {
    const RunCounts& c = run.counts();
    const std::vector<SeqSim::AddressProfile>& profile = run.profile();
    py::array_t<uint64_t> table({static_cast<py::ssize_t>(profile.size()), kProfileColumns});
    uint64_t* cells = table.mutable_data();
    for (const SeqSim::AddressProfile& p : profile) {
        *cells++ = p.count;
        *cells++ = p.firstTick;
        *cells++ = p.firstRealtime;
        *cells++ = p.realtime;
    }
    const RunSignals& s = run.signals();
    return py::make_tuple(c.completed, py::bytes(c.message), c.instructions, c.classicalCycles,
                          c.realtimeCycles, run.events(), run.keptEvents(), table,
                          std::const_pointer_cast<SignalSetup>(s.setup), s.acquisitions,
                          s.findings);
}

std::shared_ptr<Run> restoreRun(const ProgramPtr& program, const py::tuple& state) {
    if (state.size() != 11)
        raise(PyExc_ValueError, "not the state of a run");
    RunCounts counts;
    counts.completed = state[0].cast<bool>();
    counts.message = state[1].cast<std::string>();
    counts.instructions = state[2].cast<uint64_t>();
    counts.classicalCycles = state[3].cast<uint64_t>();
    counts.realtimeCycles = state[4].cast<uint64_t>();
    // The records are read as the program's layout: they must be exactly that.
    auto events = py::array::ensure(state[5], py::array::c_style);
    if (!events || events.ndim() != 1 || !events.dtype().equal(eventDtype(program->layout())))
        raise(PyExc_ValueError, "not the events of a run of this instruction set");
    const auto table =
        py::array_t<uint64_t, py::array::c_style | py::array::forcecast>::ensure(state[7]);
    if (!table || table.ndim() != 2 || table.shape(1) != kProfileColumns)
        raise(PyExc_ValueError, "not the profile of a run");
    std::vector<SeqSim::AddressProfile> profile(static_cast<size_t>(table.shape(0)));
    const uint64_t* cells = table.data();
    for (SeqSim::AddressProfile& p : profile) {
        p.count = *cells++;
        p.firstTick = *cells++;
        p.firstRealtime = *cells++;
        p.realtime = *cells++;
    }
    RunSignals signals{state[8].cast<std::shared_ptr<SignalSetup>>(), state[9], state[10]};
    return std::make_shared<Run>(program, std::move(counts), std::move(events),
                                 state[6].cast<bool>(), std::move(profile), std::move(signals));
}

} // namespace

void init_run_state(py::module_& m) {
    m.def("run_state", &runState);
    m.def("restore_run", &restoreRun);
}

} // namespace vexa_py
