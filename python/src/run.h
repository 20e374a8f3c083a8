// One finished simulation: its counts, its events, the profile behind the listing and what the
// signal layer gives about it.
#pragma once

#include "event_records.h"
#include "program.h"
#include "pybind.h"
#include "run_counts.h"
#include "signal_setup.h"

#include "assembler/seq_sim.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa_py {

// The tables and settings a run is rendered with and, for a run that went through the signal
// layer, its acquisitions ({acq_idx: structured array}) and findings (a structured array);
// None otherwise.
struct RunSignals {
    SignalSetupPtr setup;
    py::object acquisitions = py::none();
    py::object findings = py::none();
};

class Run {
public:
    // `events` becomes read-only: the other views of the run are made from its records.
    // `keptEvents` false: the run kept none, and `events` is empty.
    Run(ProgramPtr program, RunCounts counts, py::array events, bool keptEvents,
        std::vector<SeqSim::AddressProfile> profile, RunSignals signals);

    const RunCounts& counts() const { return m_counts; }
    const py::array& events() const { return m_events; }
    bool keptEvents() const { return m_keptEvents; }
    Program& program() const { return *m_program; }
    const ProgramPtr& programPtr() const { return m_program; }
    const std::vector<SeqSim::AddressProfile>& profile() const { return m_profile; }
    const RunSignals& signals() const { return m_signals; }

    // The log entries again, for the library's writers, until `handle` returns false.
    // Without the interpreter lock.
    template <class F> void visitEntries(F handle) const {
        const EventLayout& layout = m_program->layout();
        std::string mnemonic;
        uint32_t address = 0;
        for (size_t i = 0; i < m_count; ++i) {
            const seq_sim::rt_info entry =
                layout.read(m_records + i * layout.itemsize(), mnemonic, address);
            if (!handle(entry, address))
                return;
        }
    }
    template <class F> void forEachEntry(F handle) const {
        visitEntries([&handle](const seq_sim::rt_info& entry, uint32_t address) {
            handle(entry, address);
            return true;
        });
    }

private:
    ProgramPtr m_program;
    RunCounts m_counts;
    py::array m_events;
    // The array's records, read without the interpreter lock (the array is read-only).
    const char* m_records;
    size_t m_count;
    bool m_keptEvents;
    std::vector<SeqSim::AddressProfile> m_profile;
    RunSignals m_signals;
};

// The timed listing as a structured array, one record per instruction: address, count,
// first_tick, first_time_ns, realtime_ns (the times -1 for an instruction that never ran) and
// the instruction line's text.
py::array listingArray(const Run& run);
// The listing that vexasim --listing writes, as text or CSV.
py::str listingText(const Run& run, bool csv);

} // namespace vexa_py
