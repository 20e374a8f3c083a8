// The HTML report of a finished run, as vexasim --html writes it: the run's stored events fed
// again through the report's sink, with the timed listing and the counters.

#include "bindings.h"
#include "run.h"
#include "text.h"

#include "base/utils/TextOutput.h"
#include "formats/seq_html_report.h"
#include "formats/seq_listing.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <string>
#include <unordered_map>

namespace vexa_py {

namespace {

void saveHtml(const Run& run, const py::bytes& path, const py::bytes& title) {
    const std::string fileName = path;
    seq_html_report report{std::string(title)};
    Program& program = run.program();
    StringOutput listing;
    double classicalMHz = 0.0, realtimeMHz = 0.0;
    withProgram(program, [&](seq& driver) {
        program.listing().writeText(listing, run.profile());
        classicalMHz = driver.processor()->classicalClockFreq();
        realtimeMHz = driver.processor()->realtimeClockFreq();
    });
    UIStr message;
    bool saved = false;
    {
        const py::gil_scoped_release release;
        // The report keeps the mnemonics' texts by address: one string each, for the whole run.
        std::unordered_map<std::string, std::string> mnemonics;
        report.begin();
        run.forEachEntry([&](seq_sim::rt_info e, uint32_t address) {
            if (e.str != nullptr)
                e.str = mnemonics.try_emplace(e.str, e.str).first->second.c_str();
            report.event(e, address);
        });
        report.end();
        report.setListing(listing.text());
        const RunCounts& counts = run.counts();
        report.setOutcome({!counts.completed, counts.message, counts.instructions,
                           counts.classicalCycles, counts.realtimeCycles, classicalMHz,
                           realtimeMHz});
        saved = report.save(fileName, message);
    }
    if (!saved)
        raise(PyExc_OSError, message);
}

} // namespace

void init_report(py::module_& m) {
    m.def("save_html", &saveHtml);
}

} // namespace vexa_py
