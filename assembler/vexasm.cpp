// vexasm: assembles one Vexa source file into <outfilebase>.hex.
#include "assembler/seq.h"
#include "assembler/seq_cmdline.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

const char* programName = "vexasm";

namespace {

// The base name of the input: without directory and extension. The length is computed in
// unsigned arithmetic, so a dot missing or before the slash takes the whole rest.
std::string deriveOutfileBase(const std::string& inputfile) {
    const std::size_t dot = inputfile.rfind('.');
    const std::size_t slash = inputfile.rfind('/');
    if (slash == std::string::npos) {
        return inputfile.substr(0, dot);
    }
    return inputfile.substr(slash + 1, dot - 1 - slash);
}

// A repetition count as strtol reads it (blanks and a sign allowed); a count beyond the
// range of int would be cut to some other number of runs (99999999999 to 1215752191,
// 4294967297 to 1), so it is refused instead.
bool parseRepetitions(const char* text, int& repetitions) {
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(text, &end, 10);
    if (end == nullptr || *end != '\0' || errno == ERANGE || count > INT_MAX || count < INT_MIN)
        return false;
    repetitions = static_cast<int>(count);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 0) {
        programName = argv[0];
    }
    seq_cmdline commandLine(
        "[-h] [-l loglevel] [-s repetitions] [-o outfilebase] [inputfile]",
        std::string("\nAssemble vexasm program into binary."
                    "\nArguments:"
                    "\n\tinputfile: input file containing vexa assembly."
                    "\nOptions:"
                    "\n\t-h                 : print help") +
            seq_cmdline::s_logLevelHelp +
            "\n\t-s repeat_assembly : repeat assemble of program given number of times for "
            "stress testing."
            "\n\t-o outfilebase     : output filename(s) without extension."
            "\n\t                     Default: input file base (without directory, without "
            "extension)");
    std::string outfilebase;
    int repetitions = 1;
    commandLine.addOption("-s", [&repetitions](const char* value) {
        if (!parseRepetitions(value, repetitions)) {
            seq_cmdline::logError("Error in number of repeated assembly (stress testing): %s",
                                  value);
            return false;
        }
        return true;
    });
    commandLine.addOption("-o", [&outfilebase](const char* value) {
        outfilebase = value;
        return true;
    });
    if (const int status = commandLine.parse(argc, argv); status != seq_cmdline::s_run)
        return status;
    if (outfilebase.empty()) {
        outfilebase = deriveOutfileBase(commandLine.inputfile());
    }
    return seq_cmdline::toExitStatus(
        runAssembly(commandLine.inputfile(), outfilebase, repetitions));
}
