// vexasim: simulates a Vexa program, given as assembly source or as a .hex image, and logs
// its real-time events, statistics and timings; optionally draws them as an SVG timeline.
#include "assembler/seq.h"
#include "assembler/seq_cmdline.h"
#include "assembler/seq_hex_file.h"
#include "assembler/seq_sim.h"
#include "assembler/seq_timeline.h"
#include "base/Logging.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <string>

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void logText(int level, const UIStr& text) {
    if (Logging::getLogLevel() >= level) {
        Logging::writeText(level, text);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    seq_cmdline commandLine(
        "[-h] [-l loglevel] [-m max_instructions] [--svg file.svg] inputfile",
        std::string("\nSimulate vexa program and log its real-time events."
                    "\nArguments:"
                    "\n\tinputfile: vexa assembly, or a .hex file as vexasm writes it."
                    "\nOptions:"
                    "\n\t-h                 : print help") +
            seq_cmdline::s_logLevelHelp +
            "\n\t-m max_instructions: stop after this many instructions."
            "\n\t                     Default: 1000000"
            "\n\t--svg file.svg     : also draw the real-time events as an SVG timeline.");
    int maxInstructions = 1000000;
    std::string svgFile;
    commandLine.addOption("-m", [&maxInstructions](const char* value) {
        if (!seq_cmdline::parseCount(value, maxInstructions)) {
            seq_cmdline::logError("Error in maximum number of instructions: %s", value);
            return false;
        }
        return true;
    });
    commandLine.addOption("--svg", [&svgFile](const char* value) {
        svgFile = value;
        return true;
    });
    const int status = commandLine.parse(argc, argv);
    if (status != seq_cmdline::s_run) {
        return status;
    }
    const std::string& inputfile = commandLine.inputfile();

    seq driver;
    if (endsWith(inputfile, ".hex")) {
        seq_hex_file hex;
        UIStr message;
        if (!hex.read(inputfile, driver.processor()->instructionMemSizeWords(), message)) {
            logText(3, message);
            return 1;
        }
        hex.loadInto(*driver.assembler());
    } else {
        UIStr report;
        const int result = driver.assembleFile(inputfile, report);
        logText(6, report);
        if (result != 0) {
            return seq_cmdline::toExitStatus(result);
        }
    }

    // seq builds its simulator as a seq_sim.
    auto& simulator = static_cast<seq_sim&>(*driver.simulator());
    UIStr message;
    const bool failed = simulator.simulate(maxInstructions, message);
    simulator.print_rt_log("");
    if (failed) {
        logText(3, message);
        logText(6, "Simulation interrupted");
    } else {
        logText(6, "Simulation finished");
    }
    simulator.printStats("");
    simulator.printTimers("");

    if (!svgFile.empty()) {
        const seq_timeline timeline(inputfile);
        UIStr error;
        if (!timeline.save(svgFile, simulator.get_rt_log(), error)) {
            logText(3, error);
            return 1;
        }
    }
    return failed ? 1 : 0;
}
