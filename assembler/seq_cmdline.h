#ifndef ASSEMBLER_SEQ_CMDLINE_H
#define ASSEMBLER_SEQ_CMDLINE_H

// The command line of the tools: "-h" prints the help text on standard output (status 1),
// "-l loglevel" sets the log level, an option's value must not start with '-', unknown
// options are reported and skipped, exactly one input file is taken, and every command-line
// error ends in the help text and status 2.

#include <functional>
#include <string>
#include <vector>

class seq_cmdline {
public:
    // parse() result: the command line is accepted and the tool runs.
    static constexpr int s_run = -1;

    // The help text's line of options shared by every tool.
    static const char* const s_logLevelHelp;

    // The help text is "Usage: " + program name + `usage` + `details` + a line feed (so
    // `usage` starts with the blank that separates it from the name, if any).
    seq_cmdline(std::string usage, std::string details);

    // An option without a value; it sets `flag`.
    void addFlag(std::string name, bool& flag);
    // An option with a value. `accept` takes the value and returns false when it is bad,
    // after logging why; parsing then ends with the help text and status 2. With
    // `dashIsValue` the value may be "-" alone (standard output).
    void addOption(std::string name, std::function<bool(const char* value)> accept,
                   bool dashIsValue = false);

    // Opens the log on standard error under the program name at level "info" and parses the
    // arguments. Returns s_run when the tool is to run, otherwise its exit status.
    int parse(int argc, char* argv[]);

    const std::string& inputfile() const { return m_inputfile; }
    const char* programName() const { return m_programName; }
    void printHelp() const;

    // Writes `format` with `argument` at error level, when that level is active.
    static void logError(const char* format, const char* argument);
    // Parses a whole decimal number in [0, 2^31 - 1] as strtol does (leading blanks and a
    // sign allowed); false for anything else.
    static bool parseCount(const char* text, int& count);
    // The low 8 bits of a status are all the operating system keeps: a count above 255
    // must not read as success.
    static int toExitStatus(int result) { return result > 255 ? 255 : result; }

private:
    struct Option {
        std::string name;
        bool* flag = nullptr;
        std::function<bool(const char*)> accept;
        bool dashIsValue = false;
    };

    std::string m_usage;
    std::string m_details;
    std::vector<Option> m_options;
    const char* m_programName = "";
    std::string m_inputfile;
};

#endif
