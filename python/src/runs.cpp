// Simulations run to their end, and what a finished run gives: its counts and events, the log
// text, the timeline's lanes and SVG, and the timed listing.

#include "bindings.h"
#include "records_array.h"
#include "run.h"
#include "signals.h"
#include "text.h"

#include "assembler/seq_event_writer.h"
#include "base/utils/TextOutput.h"
#include "formats/seq_timeline.h"

#include <deque>
#include <memory>
#include <optional>
#include <utility>

namespace vexa_py {

Run::Run(ProgramPtr program, RunCounts counts, py::array events, bool keptEvents,
         std::vector<SeqSim::AddressProfile> profile, RunSignals signals)
    : m_program(std::move(program)), m_counts(std::move(counts)), m_events(std::move(events)),
      m_records(static_cast<const char*>(m_events.data())),
      m_count(static_cast<size_t>(m_events.size())), m_keptEvents(keptEvents),
      m_profile(std::move(profile)), m_signals(std::move(signals)) {
    m_events.attr("flags").attr("writeable") = false;
    if (!m_signals.setup) {
        // No tables and the default settings, made once: runs without signals are the many.
        static const SignalSetupPtr s_none = std::make_shared<const SignalSetup>();
        m_signals.setup = s_none;
    }
}

namespace {

// `keepEvents` false runs with a sink that keeps nothing: the counters and the listing alone.
// With a signal setup the run also goes through the signal layer, beside the events.
std::shared_ptr<Run> simulate(const ProgramPtr& program, int maxInstructions, bool keepEvents,
                              SignalSetupPtr setup) {
    RunCounts counts;
    std::vector<SeqSim::AddressProfile> profile;
    RecordSink sink(program->layout());
    seq_discard_sink discard;
    seq_event_sink* kept = keepEvents ? static_cast<seq_event_sink*>(&sink) : &discard;
    SignalResults signalResults;
    std::optional<seq_signal_sink> signals;
    seq_event_tee tee;
    if (setup) {
        signals.emplace(setup->tables, setup->settings, &signalResults.findings);
        tee.add(kept);
        tee.add(&*signals);
    }
    withProgram(*program, [&](seq& driver) {
        seq_sim& simulator = *driver.rt_simulator();
        simulator.set_event_sink(signals ? &tee : kept);
        simulator.setProfiling(true);
        UIStr message;
        bool failed = true;
        try {
            failed = simulator.simulate(maxInstructions, message);
        } catch (...) {
            simulator.set_event_sink(nullptr);
            throw;
        }
        simulator.set_event_sink(nullptr);
        counts.take(simulator, failed, std::move(message));
        profile = simulator.profile();
        if (signals)
            signalResults.take(*signals, *program);
    });
    py::array events = adoptRecords(program->layout(), sink.records());
    RunSignals runSignals{std::move(setup)};
    if (signals) {
        runSignals.acquisitions = acquisitionsDict(signalResults.acquisitions);
        runSignals.findings = findingsArray(signalResults);
    }
    return std::make_shared<Run>(program, std::move(counts), std::move(events), keepEvents,
                                 std::move(profile), std::move(runSignals));
}

py::str logText(const Run& run) {
    StringOutput out;
    {
        const py::gil_scoped_release release;
        seq_text_sink sink(out);
        sink.begin();
        run.forEachEntry([&sink](const seq_sim::rt_info& e, uint32_t a) { sink.event(e, a); });
        sink.end();
    }
    return text(out.text());
}

void saveSvg(const Run& run, const py::bytes& path, const py::bytes& title) {
    const std::string fileName = path;
    const std::string heading = title;
    UIStr message;
    bool saved = false;
    {
        const py::gil_scoped_release release;
        // The timeline keeps the mnemonics' texts: one string each for the log's pointers.
        std::vector<seq_sim::rt_info> log;
        std::deque<std::string> mnemonics;
        run.forEachEntry([&](seq_sim::rt_info e, uint32_t) {
            if (mnemonics.empty() || mnemonics.back() != e.str)
                mnemonics.emplace_back(e.str);
            e.str = mnemonics.back().c_str();
            log.push_back(e);
        });
        saved = seq_timeline(heading).save(fileName, log, message);
    }
    if (!saved)
        raise(PyExc_OSError, message);
}

// The lanes of the timeline for every entry, as bits 1 << lane.
py::array_t<uint8_t> lanes(const Run& run) {
    py::array_t<uint8_t> result(run.events().shape(0));
    uint8_t* out = result.mutable_data();
    {
        const py::gil_scoped_release release;
        size_t i = 0;
        run.forEachEntry([&](const seq_sim::rt_info& e, uint32_t) {
            out[i++] = static_cast<uint8_t>(seq_timeline::lanesOf(e));
        });
    }
    return result;
}

} // namespace

void init_runs(py::module_& m) {
    py::class_<Run, std::shared_ptr<Run>>(m, "Run")
        .def_property_readonly("counts", &Run::counts)
        .def_property_readonly("events", &Run::events)
        .def("log_text", &logText)
        .def("save_svg", &saveSvg)
        .def("lanes", &lanes)
        .def("listing", &listingArray)
        .def("listing_text", &listingText);

    m.def("simulate", &simulate);
}

} // namespace vexa_py
