// vexadis: disassembles a .hex program image, as vexasm writes it, into Vexa assembly.
#include "assembler/seq.h"
#include "assembler/seq_cmdline.h"
#include "base/Logging.h"
#include "formats/seq_hex_file.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char* argv[]) {
    seq_cmdline commandLine(" [-h] [-l loglevel] [-n] [-o outfile] hexfile",
                            std::string("\nDisassemble a vexasm hex file into vexa assembly."
                                        "\nArguments:"
                                        "\n\thexfile: instruction words as vexasm writes them, "
                                        "one per line in 16 hexadecimal digits."
                                        "\nOptions:"
                                        "\n\t-h                 : print help") +
                                seq_cmdline::s_logLevelHelp +
                                "\n\t-n                 : no address labels, so that the "
                                "output assembles again."
                                "\n\t-o outfile         : write the disassembly to outfile."
                                "\n\t                     Default: standard output");
    bool noAddresses = false;
    std::string outfile;
    commandLine.addFlag("-n", noAddresses);
    commandLine.addOption("-o", [&outfile](const char* value) {
        outfile = value;
        return true;
    });
    if (const int status = commandLine.parse(argc, argv); status != seq_cmdline::s_run)
        return status;

    seq driver;
    SeqAssembler& assembler = *driver.assembler();
    const seq_image_load load = loadHexImage(driver, commandLine.inputfile());
    if (!load) {
        Logging::writeText(LogLevel::error, load.message);
        return 1;
    }
    if (noAddresses) {
        assembler.config().writeAddresses = false;
    }

    // The output file is opened only once the input is known to be good, so that a bad
    // input leaves an existing file alone.
    int undecodable = 0;
    if (outfile.empty()) {
        undecodable = assembler.disassemble(std::cout);
        std::cout.flush();
        if (!std::cout) {
            if (Logging::isLogLevelActive(LogLevel::error)) {
                Logging::write(LogLevel::error,
                               "Could not write the disassembly to standard output");
            }
            return 1;
        }
    } else {
        std::ofstream out(outfile, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            seq_cmdline::logError("Could not open output file '%s' for writing", outfile.c_str());
            return 1;
        }
        undecodable = assembler.disassemble(out);
        out.close();
        if (out.fail()) {
            seq_cmdline::logError("Could not write output file '%s'", outfile.c_str());
            return 1;
        }
    }

    const auto words = static_cast<unsigned>(load.words);
    if (undecodable > 0) {
        if (Logging::isLogLevelActive(LogLevel::warning)) {
            Logging::write(LogLevel::warning, "%d of %u instruction words could not be decoded",
                           undecodable, words);
        }
        return 1;
    }
    if (Logging::isLogLevelActive(LogLevel::info)) {
        Logging::write(LogLevel::info, "disassembled %u instruction words", words);
    }
    return 0;
}
