#include "assembler/seq_cmdline.h"

#include "base/Logging.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

const char* const seq_cmdline::s_logLevelHelp =
    "\n\t-l loglevel        : debug/d, info/i, notice/n, warning/w"
    ", error/e, critical/c, alert/a or emergency/m."
    "\n\t                     Default: info";

seq_cmdline::seq_cmdline(std::string usage, std::string details)
    : m_usage(std::move(usage)), m_details(std::move(details)) {}

void seq_cmdline::addFlag(std::string name, bool& flag) {
    m_options.push_back({std::move(name), &flag, {}});
}

void seq_cmdline::addOption(std::string name, std::function<bool(const char*)> accept,
                            bool dashIsValue) {
    m_options.push_back({std::move(name), nullptr, std::move(accept), dashIsValue});
}

void seq_cmdline::printHelp() const {
    std::fputs("Usage: ", stdout);
    std::fputs(m_programName, stdout);
    std::fputs(m_usage.c_str(), stdout);
    std::fputs(m_details.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void seq_cmdline::logError(const char* format, const char* argument) {
    if (Logging::isLogLevelActive(LogLevel::error)) {
        Logging::write(LogLevel::error, format, argument);
    }
}

bool seq_cmdline::parseCount(const char* text, int& count) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < 0 || value > INT_MAX) {
        return false;
    }
    count = static_cast<int>(value);
    return true;
}

int seq_cmdline::parse(int argc, char* argv[]) {
    if (argc > 0) {
        m_programName = argv[0];
    }
    Logging::setLogLevel(std::string("info"));
    Logging::open(m_programName, Logging::getLogLevel(), nullptr);
    if (argc == 0) {
        printHelp();
        return 1;
    }
    if (argc == 1) {
        printHelp();
        return 2;
    }

    int nonOptionArguments = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (++nonOptionArguments > 1) {
                Logging::write(LogLevel::error, "Too many non-option arguments");
                printHelp();
                return 2;
            }
            m_inputfile = argument;
            continue;
        }
        if (std::strcmp(argument, "-h") == 0) {
            printHelp();
            return 1;
        }
        const Option* option = nullptr;
        for (const Option& candidate : m_options) {
            if (candidate.name == argument) {
                option = &candidate;
                break;
            }
        }
        const bool isLogLevel = std::strcmp(argument, "-l") == 0;
        if (option == nullptr && !isLogLevel) {
            logError("Unsupported option: '%s'", argument);
            continue;
        }
        if (option != nullptr && option->flag != nullptr) {
            *option->flag = true;
            continue;
        }
        const bool dashValue = option != nullptr && option->dashIsValue && i + 1 < argc &&
                               std::strcmp(argv[i + 1], "-") == 0;
        if (i + 1 >= argc || (argv[i + 1][0] == '-' && !dashValue)) {
            logError("Option %s requires argument", argument);
            printHelp();
            return 2;
        }
        const char* value = argv[++i];
        if (isLogLevel) {
            if (!Logging::setLogLevel(std::string(value))) {
                logError("Unsupported log level: %s", value);
                printHelp();
                return 2;
            }
        } else if (!option->accept(value)) {
            printHelp();
            return 2;
        }
    }

    if (m_inputfile.empty()) {
        printHelp();
        return 2;
    }
    return s_run;
}
