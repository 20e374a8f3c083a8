// One finished simulation: its counts, its events and the profile behind the listing.
#pragma once

#include "event_records.h"
#include "program.h"
#include "pybind.h"
#include "run_counts.h"

#include "assembler/seq_sim.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa_py {

class Run {
public:
    // `events` becomes read-only: the other views of the run are made from its records.
    Run(ProgramPtr program, RunCounts counts, py::array events,
        std::vector<SeqSim::AddressProfile> profile);

    const RunCounts& counts() const { return m_counts; }
    const py::array& events() const { return m_events; }
    Program& program() const { return *m_program; }
    const std::vector<SeqSim::AddressProfile>& profile() const { return m_profile; }

    // The log entries again, for the library's writers. Without the interpreter lock.
    template <class F> void forEachEntry(F handle) const {
        const EventLayout& layout = m_program->layout();
        std::string mnemonic;
        uint32_t address = 0;
        for (size_t i = 0; i < m_count; ++i) {
            const seq_sim::rt_info entry =
                layout.read(m_records + i * layout.itemsize(), mnemonic, address);
            handle(entry, address);
        }
    }

private:
    ProgramPtr m_program;
    RunCounts m_counts;
    py::array m_events;
    // The array's records, read without the interpreter lock (the array is read-only).
    const char* m_records;
    size_t m_count;
    std::vector<SeqSim::AddressProfile> m_profile;
};

// The timed listing as a structured array, one record per instruction: address, count,
// first_tick, first_time_ns, realtime_ns (the times -1 for an instruction that never ran) and
// the instruction line's text.
py::array listingArray(const Run& run);
// The listing that vexasim --listing writes, as text or CSV.
py::str listingText(const Run& run, bool csv);

} // namespace vexa_py
