// Process-wide logging facility with syslog-style numeric levels. Every member is static;
// a line is a 7-character level tag, two blanks, a local time stamp, the program name,
// ": " and the message.
#pragma once

#include <atomic>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <string_view>

// The levels of messages, in syslog numbering; a message is written when its level is at most
// the current one, so the current level Logging::quietLevel writes none.
namespace LogLevel {
inline constexpr int emergency = 0; // internal errors
inline constexpr int alert = 1;
inline constexpr int critical = 2;
inline constexpr int error = 3;   // command-line problems
inline constexpr int warning = 4; // failed assembly
inline constexpr int notice = 5;
inline constexpr int info = 6;  // results
inline constexpr int debug = 7; // progress and caught errors
inline constexpr int verbose = 8;
} // namespace LogLevel

class Logging {
public:
    Logging() = delete;

    // Sets level, program name and log file; false when no file was given or it could not
    // be opened (lines then go to standard error). Both pointers are stored, not copied.
    static bool open(const char* progName, int level, const char* logFileName);
    // Closes and opens the log file again (log rotation); false without a file name.
    static bool reopen();
    static void rename(const char* progName);

    // Writes one line when `level` is active; always returns 0.
    static int write(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Like write, but the message is `text` taken byte for byte (NUL bytes included).
    static int writeText(int level, std::string_view text);
    static void flush();
    // One message written in pieces, for text too long to build first: the line's prefix at
    // `level`, then the pieces as they come, then the line's end. Each call holds the lock
    // only while it writes, so other threads' lines may come between the pieces.
    static void beginMessage(int level);
    static void continueMessage(std::string_view text);
    static void endMessage();

    static std::string getLogFileName();
    static bool setLogLevel(int level);
    // False (and the level unchanged) for a name that is no level name.
    static bool setLogLevel(const std::string& name);
    static int getLogLevel() { return logLevel.load(std::memory_order_relaxed); }
    // Short or long level name, case-sensitive; -1 for anything else.
    static int logLevelFromName(const std::string& name);
    static const char* logLevelToName(int level);
    static const char* getLogLevelName();
    static bool isLogLevelActive(int level) { return getLogLevel() >= level; }

    // Where lines go; standard error by default. Lets tests and tools capture the log.
    static FILE* getLogFile();
    static void setLogFile(FILE* file);

    static constexpr int quietLevel = -1000;

private:
    static void writePrefix(FILE* file, int level);
    static void closeOwnedFile();
    static void lock(FILE* file);
    static void unlock(FILE* file);

    // Read by every thread that logs, and changeable while they run.
    static std::atomic<int> logLevel;
    static const char* progName;
    static FILE* logFile; // null means standard error
    static const char* logFileName;
    static bool ownsLogFile; // logFile was opened here and is closed here
    static pthread_mutex_t mutex;
};

// printf-style formatting into a string of at most 511 characters; a longer result is
// truncated and a warning is logged.
std::string stringFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Placeholder handler for SIGUSR1; only logs that it is not implemented.
void sigUsr1Handler(int signal);

// Internal consistency failure: logs "THROW_BUG: file='<file>', line=<line>,
// function='<function>', error='<error>'" at level 0 (unless the level is below 0) and ends
// the process with exit status 1.
[[noreturn]] void throwBug(std::string_view file, int line, std::string_view function,
                           std::string_view error);
