// vexasm: assembles one Vexa source file into <outfilebase>.hex.
#include "assembler/seq.h"
#include "base/Logging.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

const char* programName = "vexasm";

namespace {

void printHelp() {
    std::fputs("Usage: ", stdout);
    std::fputs(programName, stdout);
    std::fputs("[-h] [-l loglevel] [-s repetitions] [-o outfilebase] [inputfile]"
               "\nAssemble vexasm program into binary."
               "\nArguments:"
               "\n\tinputfile: input file containing vexa assembly."
               "\nOptions:"
               "\n\t-h                 : print help"
               "\n\t-l loglevel        : debug/d, info/i, notice/n, warning/w"
               ", error/e, critical/c, alert/a or emergency/m."
               "\n\t                     Default: info"
               "\n\t-s repeat_assembly : repeat assemble of program given number of times for "
               "stress testing."
               "\n\t-o outfilebase     : output filename(s) without extension."
               "\n\t                     Default: input file base (without directory, without "
               "extension)"
               "\n",
               stdout);
    std::fflush(stdout);
}

void logError(const char* format, const char* argument) {
    if (Logging::getLogLevel() >= 3) {
        Logging::write(3, format, argument);
    }
}

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

// The operating system keeps only the low 8 bits of an exit status: a count of 256 errors
// must not read as success.
int toExitStatus(int result) {
    return result > 255 ? 255 : result;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 0) {
        programName = argv[0];
    }
    Logging::setLogLevel(std::string("info"));
    Logging::open(programName, Logging::getLogLevel(), nullptr);
    if (argc == 0) {
        printHelp();
        return 1;
    }
    if (argc == 1) {
        printHelp();
        return 2;
    }

    std::string inputfile;
    std::string outfilebase;
    int repetitions = 1;
    int nonOptionArguments = 0;

    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (++nonOptionArguments > 1) {
                if (Logging::getLogLevel() >= 3) {
                    Logging::write(3, "Too many non-option arguments");
                }
                printHelp();
                return 2;
            }
            inputfile = argument;
            continue;
        }
        if (std::strcmp(argument, "-h") == 0) {
            printHelp();
            return 1;
        }
        const bool takesValue = std::strcmp(argument, "-l") == 0 ||
                                std::strcmp(argument, "-o") == 0 ||
                                std::strcmp(argument, "-s") == 0;
        if (!takesValue) {
            logError("Unsupported option: '%s'", argument);
            continue;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '-') {
            logError("Option %s requires argument", argument);
            printHelp();
            return 2;
        }
        const char* value = argv[++i];
        switch (argument[1]) {
        case 'l':
            if (!Logging::setLogLevel(std::string(value))) {
                logError("Unsupported log level: %s", value);
                printHelp();
                return 2;
            }
            break;
        case 'o':
            outfilebase = value;
            break;
        default: {
            char* end = nullptr;
            errno = 0;
            const long count = std::strtol(value, &end, 10);
            // A count beyond the range of int would be cut to some other number of runs
            // (99999999999 to 1215752191, 4294967297 to 1): refuse it instead.
            if (end == nullptr || *end != '\0' || errno == ERANGE || count > INT_MAX ||
                count < INT_MIN) {
                logError("Error in number of repeated assembly (stress testing): %s", value);
                printHelp();
                return 2;
            }
            repetitions = static_cast<int>(count);
            break;
        }
        }
    }

    if (inputfile.empty()) {
        printHelp();
        return 2;
    }
    if (outfilebase.empty()) {
        outfilebase = deriveOutfileBase(inputfile);
    }
    return toExitStatus(runAssembly(inputfile, outfilebase, repetitions));
}
