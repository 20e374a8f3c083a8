// vexasim: simulates a Vexa program, given as assembly source or as a .hex image, and logs
// its real-time events, statistics and timings as the run goes. Optionally it streams the
// events to a CSV or JSON Lines file, writes a timed listing of the program, and draws the
// events as an SVG timeline.
#include "assembler/seq.h"
#include "assembler/seq_cmdline.h"
#include "assembler/seq_event_writer.h"
#include "assembler/seq_sim.h"
#include "base/Logging.h"
#include "base/utils/FileOutput.h"
#include "base/utils/SourceReader.h"
#include "formats/seq_csv_sink.h"
#include "formats/seq_hex_file.h"
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

// The listing of the program that `driver` holds, written after a profiled run.
bool writeListing(const std::string& inputfile, bool isImage, seq& driver, FileOutput& out) {
    seq_listing listing;
    if (isImage) {
        listing.disassemble(*driver.assembler());
    } else {
        FileSourceReader reader(inputfile);
        UIStr message;
        if (!listing.readSource(reader, driver.assembler()->asmStatements(), message)) {
            Logging::writeText(LogLevel::error, message);
            return false;
        }
    }
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

} // namespace

int main(int argc, char* argv[]) {
    seq_cmdline commandLine(
        " [-h] [-l loglevel] [-m max_instructions] [--events file.csv|file.jsonl] "
        "[--listing file] [--svg file.svg] inputfile",
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
            "\n\t--svg file.svg     : also draw the real-time events as an SVG timeline.");
    int maxInstructions = 1000000;
    std::string svgFile;
    std::string eventsFile;
    std::string listingFile;
    commandLine.addOption("-m", [&maxInstructions](const char* value) {
        if (!seq_cmdline::parseCount(value, maxInstructions)) {
            seq_cmdline::logError("Error in maximum number of instructions: %s", value);
            return false;
        }
        return true;
    });
    commandLine.addOption("--events", [&eventsFile](const char* value) {
        eventsFile = value;
        if (!endsWith(eventsFile, ".csv") && !endsWith(eventsFile, ".jsonl")) {
            seq_cmdline::logError("Events file name must end in .csv or .jsonl: %s", value);
            return false;
        }
        return true;
    });
    commandLine.addOption(
        "--listing",
        [&listingFile](const char* value) {
            listingFile = value;
            return true;
        },
        true);
    commandLine.addOption("--svg", [&svgFile](const char* value) {
        svgFile = value;
        return true;
    });
    if (const int status = commandLine.parse(argc, argv); status != seq_cmdline::s_run)
        return status;
    const std::string& inputfile = commandLine.inputfile();
    const bool isImage = endsWith(inputfile, ".hex");

    seq driver;
    if (isImage) {
        seq_hex_file hex;
        UIStr message;
        if (!hex.read(inputfile, driver.processor()->instructionMemSizeWords(), message)) {
            Logging::writeText(LogLevel::error, message);
            return 1;
        }
        if (!driver.loadImage(hex.words(), message)) {
            Logging::writeText(LogLevel::error, message);
            return 1;
        }
    } else {
        UIStr report;
        const int result = driver.assembleFile(inputfile, report);
        Logging::writeText(LogLevel::info, report);
        if (result != 0) {
            return seq_cmdline::toExitStatus(result);
        }
    }

    // The outputs are opened before the run, so that a name that cannot be written fails
    // before a long simulation. Nothing keeps the events in memory but the SVG timeline.
    seq_sim& simulator = *driver.rt_simulator();
    seq_event_tee sinks;
    FileOutput events;
    std::unique_ptr<seq_event_writer> eventWriter;
    if (!eventsFile.empty()) {
        if (!events.open(eventsFile)) {
            Logging::writeText(LogLevel::error, events.error());
            return 1;
        }
        if (endsWith(eventsFile, ".csv"))
            eventWriter = std::make_unique<seq_csv_sink>(events);
        else
            eventWriter = std::make_unique<seq_jsonl_sink>(events);
        sinks.add(eventWriter.get());
    }
    FileOutput listing;
    if (!listingFile.empty()) {
        if (!listing.open(listingFile)) {
            Logging::writeText(LogLevel::error, listing.error());
            return 1;
        }
        simulator.setProfiling(true);
    }
    if (!svgFile.empty())
        sinks.add(&simulator.rt_log_sink());
    std::optional<LogOutput> logOutput;
    std::optional<seq_text_sink> logWriter;
    if (Logging::isLogLevelActive(LogLevel::info)) {
        logOutput.emplace(LogLevel::info);
        logWriter.emplace(*logOutput);
        sinks.add(&*logWriter);
    }
    seq_discard_sink discard;
    simulator.set_event_sink(sinks.empty() ? static_cast<seq_event_sink*>(&discard) : &sinks);

    UIStr message;
    const bool failed = simulator.simulate(maxInstructions, message);
    if (logOutput)
        logOutput->finish();
    if (failed) {
        Logging::writeText(LogLevel::error, message);
        Logging::writeText(LogLevel::info, "Simulation interrupted");
    } else {
        Logging::writeText(LogLevel::info, "Simulation finished");
    }
    simulator.printStats("");
    simulator.printTimers("");

    bool written = true;
    if (eventWriter && !events.commit()) {
        Logging::writeText(LogLevel::error, events.error());
        written = false;
    }
    if (!listingFile.empty() && !writeListing(inputfile, isImage, driver, listing))
        written = false;
    if (!svgFile.empty()) {
        const seq_timeline timeline(inputfile);
        UIStr error;
        if (!timeline.save(svgFile, simulator.get_rt_log(), error)) {
            Logging::writeText(LogLevel::error, error);
            written = false;
        }
    }
    return failed || !written ? 1 : 0;
}
