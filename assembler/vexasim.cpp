// vexasim: simulates a Vexa program, given as assembly source or as a .hex image, and logs
// its real-time events, statistics and timings as the run goes. Optionally it streams the
// events to a CSV or JSON Lines file, writes a timed listing of the program, draws the
// events as an SVG timeline, and writes the whole run as one HTML report.
#include "assembler/seq.h"
#include "assembler/seq_cmdline.h"
#include "assembler/seq_event_writer.h"
#include "assembler/seq_sim.h"
#include "assembler/vexasim_signals.h"
#include "base/Logging.h"
#include "base/utils/FileOutput.h"
#include "base/utils/SourceReader.h"
#include "formats/seq_csv_sink.h"
#include "formats/seq_hex_file.h"
#include "formats/seq_html_report.h"
#include "formats/seq_jsonl_sink.h"
#include "formats/seq_listing.h"
#include "formats/seq_timeline.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <memory>
#include <optional>
#include <string>

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The listing of the program that `driver` holds; false (after logging why) when the source
// cannot be read again.
bool buildListing(const std::string& inputfile, bool isImage, seq& driver, seq_listing& listing) {
    std::optional<FileSourceReader> source;
    if (!isImage)
        source.emplace(inputfile);
    UIStr message;
    if (!listing.build(*driver.assembler(), source ? &*source : nullptr, message)) {
        Logging::writeText(LogLevel::error, message);
        return false;
    }
    return true;
}

// The listing of the program that `driver` holds, written after a profiled run.
bool writeListing(const std::string& inputfile, bool isImage, seq& driver, FileOutput& out) {
    seq_listing listing;
    if (!buildListing(inputfile, isImage, driver, listing))
        return false;
    const auto& profile = driver.simulator()->profile();
    if (endsWith(out.fileName(), ".csv"))
        listing.writeCsv(out, profile);
    else
        listing.writeText(out, profile);
    if (!out.commit()) {
        Logging::writeText(LogLevel::error, out.error());
        return false;
    }
    return true;
}

// What the command line asks for.
struct Options {
    std::string inputfile;
    bool isImage = false;
    int maxInstructions = 1000000;
    std::string eventsFile;
    std::string listingFile;
    std::string svgFile;
    std::string htmlFile;
    SignalOptions signals;
};

// Parses the command line into `options`; returns seq_cmdline::s_run or the exit status.
int parseOptions(int argc, char* argv[], Options& options) {
    seq_cmdline commandLine(
        std::string(" [-h] [-l loglevel] [-m max_instructions] [--events file.csv|file.jsonl] "
                    "[--listing file] [--svg file.svg] [--html file.html]") +
            SignalOptions::s_usage + " inputfile",
        std::string("\nSimulate vexa program and log its real-time events."
                    "\nArguments:"
                    "\n\tinputfile: vexa assembly, or a .hex file as vexasm writes it."
                    "\nOptions:"
                    "\n\t-h                 : print help") +
            seq_cmdline::s_logLevelHelp +
            "\n\t-m max_instructions: stop after this many instructions."
            "\n\t                     Default: 1000000"
            "\n\t--events file      : stream the real-time events to file as they happen,"
            "\n\t                     CSV for a name ending in .csv, JSON Lines for .jsonl."
            "\n\t--listing file     : write the program with the execution count, first"
            "\n\t                     classical tick, first real time and total real time"
            "\n\t                     of each instruction; CSV for a name ending in .csv,"
            "\n\t                     - for standard output."
            "\n\t--svg file.svg     : also draw the real-time events as an SVG timeline."
            "\n\t--html file.html   : write the run as one self-contained HTML report." +
            SignalOptions::s_help);
    commandLine.addOption("-m", [&options](const char* value) {
        if (!seq_cmdline::parseCount(value, options.maxInstructions)) {
            seq_cmdline::logError("Error in maximum number of instructions: %s", value);
            return false;
        }
        return true;
    });
    commandLine.addOption("--events", [&options](const char* value) {
        options.eventsFile = value;
        if (!endsWith(options.eventsFile, ".csv") && !endsWith(options.eventsFile, ".jsonl")) {
            seq_cmdline::logError("Events file name must end in .csv or .jsonl: %s", value);
            return false;
        }
        return true;
    });
    commandLine.addOption(
        "--listing",
        [&options](const char* value) {
            options.listingFile = value;
            return true;
        },
        true);
    commandLine.addOption("--svg", [&options](const char* value) {
        options.svgFile = value;
        return true;
    });
    commandLine.addOption("--html", [&options](const char* value) {
        options.htmlFile = value;
        return true;
    });
    options.signals.addTo(commandLine);
    const int status = commandLine.parse(argc, argv);
    options.inputfile = commandLine.inputfile();
    options.isImage = endsWith(options.inputfile, ".hex");
    options.signals.report = !options.htmlFile.empty();
    if (status == seq_cmdline::s_run && !options.signals.complete())
        return 2;
    return status;
}

// Assembles the source or loads the image; returns the exit status when that failed.
std::optional<int> loadProgram(const Options& options, seq& driver) {
    if (options.isImage) {
        if (const seq_image_load load = loadHexImage(driver, options.inputfile); !load) {
            Logging::writeText(LogLevel::error, load.message);
            return 1;
        }
        return std::nullopt;
    }
    UIStr report;
    const int result = driver.assembleFile(options.inputfile, report);
    Logging::writeText(LogLevel::info, report);
    if (result != 0)
        return seq_cmdline::toExitStatus(result);
    return std::nullopt;
}

// Where the run's events go. The outputs are opened before the run, so that a name that
// cannot be written fails before a long simulation. Nothing keeps the events in memory but
// the SVG timeline.
class Sinks {
public:
    // False (after logging why) when an output cannot be opened.
    bool open(const Options& options, seq& driver) {
        seq_sim& simulator = *driver.rt_simulator();
        if (!options.eventsFile.empty()) {
            if (!m_events.open(options.eventsFile)) {
                Logging::writeText(LogLevel::error, m_events.error());
                return false;
            }
            if (endsWith(options.eventsFile, ".csv"))
                m_eventWriter = std::make_unique<seq_csv_sink>(m_events);
            else
                m_eventWriter = std::make_unique<seq_jsonl_sink>(m_events);
            m_tee.add(m_eventWriter.get());
        }
        if (!options.listingFile.empty()) {
            if (!m_listing.open(options.listingFile)) {
                Logging::writeText(LogLevel::error, m_listing.error());
                return false;
            }
            simulator.setProfiling(true);
        }
        if (!options.svgFile.empty())
            m_tee.add(&simulator.rt_log_sink());
        if (!options.htmlFile.empty()) {
            if (!m_html.open(options.htmlFile)) {
                Logging::writeText(LogLevel::error, m_html.error());
                return false;
            }
            m_report = std::make_unique<seq_html_report>(options.inputfile);
            m_tee.add(m_report.get());
            simulator.setProfiling(true);
        }
        if (options.signals.given &&
            !m_signals.open(options.signals, options.inputfile, driver, m_tee))
            return false;
        if (Logging::isLogLevelActive(LogLevel::info)) {
            m_logOutput.emplace(LogLevel::info);
            m_logWriter.emplace(*m_logOutput);
            m_tee.add(&*m_logWriter);
        }
        simulator.set_event_sink(m_tee.empty() ? static_cast<seq_event_sink*>(&m_discard) : &m_tee);
        return true;
    }
    // The run has ended (`failure` says why when it failed): the log text goes out before
    // the run's last lines.
    void runEnded(bool failed, const UIStr& failure) {
        if (m_logOutput)
            m_logOutput->finish();
        m_failed = failed;
        m_failure = failure;
    }
    // Commits the events file; false (after logging why) when it could not be written.
    bool commitEvents() {
        if (m_eventWriter && !m_events.commit()) {
            Logging::writeText(LogLevel::error, m_events.error());
            return false;
        }
        return true;
    }
    FileOutput& listing() { return m_listing; }
    // The HTML report of the run, completed with the listing and the outcome.
    bool writeHtml(const Options& options, seq& driver) {
        seq_listing listing;
        if (!buildListing(options.inputfile, options.isImage, driver, listing))
            return false;
        const seq_sim& simulator = *driver.rt_simulator();
        StringOutput listingText;
        listing.writeText(listingText, simulator.profile());
        m_report->setListing(listingText.text());
        if (options.signals.given)
            m_signals.fillReport(*m_report);
        const SeqProcessor& processor = *driver.processor();
        m_report->setOutcome({m_failed, m_failure, simulator.numInstructions(),
                              simulator.classicalTick(), simulator.realtimeTick(),
                              processor.classicalClockFreq(), processor.realtimeClockFreq()});
        m_report->write(m_html);
        if (!m_html.commit()) {
            Logging::writeText(LogLevel::error, m_html.error());
            return false;
        }
        return true;
    }
    SignalRun& signals() { return m_signals; }

private:
    seq_event_tee m_tee;
    seq_discard_sink m_discard;
    FileOutput m_events;
    std::unique_ptr<seq_event_writer> m_eventWriter;
    FileOutput m_listing;
    FileOutput m_html;
    std::unique_ptr<seq_html_report> m_report;
    bool m_failed = false;
    UIStr m_failure;
    std::optional<LogOutput> m_logOutput;
    std::optional<seq_text_sink> m_logWriter;
    SignalRun m_signals;
};

// Runs the simulation and logs how it ended; true when it did not end with "stop".
bool run(const Options& options, seq_sim& simulator, Sinks& sinks) {
    UIStr message;
    const bool failed = simulator.simulate(options.maxInstructions, message);
    sinks.runEnded(failed, message);
    if (failed) {
        Logging::writeText(LogLevel::error, message);
        Logging::writeText(LogLevel::info, "Simulation interrupted");
    } else {
        Logging::writeText(LogLevel::info, "Simulation finished");
    }
    simulator.printStats("");
    simulator.printTimers("");
    return failed;
}

// Writes the files that are made after the run; false when one of them could not be.
bool writeReports(const Options& options, seq& driver, Sinks& sinks) {
    bool written = sinks.commitEvents();
    if (options.signals.given && !sinks.signals().writeReports())
        written = false;
    if (!options.listingFile.empty() &&
        !writeListing(options.inputfile, options.isImage, driver, sinks.listing()))
        written = false;
    if (!options.svgFile.empty()) {
        seq_timeline timeline(options.inputfile);
        timeline.setEnvelope(sinks.signals().envelope(driver.rt_simulator()->get_rt_log()));
        UIStr error;
        if (!timeline.save(options.svgFile, driver.rt_simulator()->get_rt_log(), error)) {
            Logging::writeText(LogLevel::error, error);
            written = false;
        }
    }
    if (!options.htmlFile.empty() && !sinks.writeHtml(options, driver))
        written = false;
    return written;
}

} // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (const int status = parseOptions(argc, argv, options); status != seq_cmdline::s_run)
        return status;
    seq driver;
    if (const auto status = loadProgram(options, driver))
        return *status;
    Sinks sinks;
    if (!sinks.open(options, driver))
        return 1;
    const bool failed = run(options, *driver.rt_simulator(), sinks);
    const bool written = writeReports(options, driver, sinks);
    if (failed || !written)
        return 1;
    // A finished run with timing findings fails the check with a status of its own.
    return options.signals.check && sinks.signals().findings() > 0 ? 3 : 0;
}
