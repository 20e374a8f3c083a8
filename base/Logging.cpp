#include "base/Logging.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/time.h>

std::atomic<int> Logging::logLevel{7};
const char* Logging::progName = "prog";
// Null stands for standard error: stderr is no constant, and a null pointer here can never
// be seen half-initialised by code that logs during static initialisation.
FILE* Logging::logFile = nullptr;
const char* Logging::logFileName = nullptr;
bool Logging::ownsLogFile = false;
pthread_mutex_t Logging::mutex = PTHREAD_MUTEX_INITIALIZER;

namespace {

struct LevelInfo {
    int level;
    const char* name;
    const char* shortName;
};

constexpr LevelInfo levels[] = {
    {0, "emergency", "m"}, {1, "alert", "a"},
    {2, "critical", "c"},  {3, "error", "e"},
    {4, "warning", "w"},   {5, "notice", "n"},
    {6, "info", "i"},      {7, "debug", "d"},
    {8, "verbose", "v"},   {Logging::quietLevel, "quiet", "q"},
};

constexpr const char* tags[] = {"*******", "****** ", "*****  ", "****   ", "***    ",
                                "**     ", "+      ", ".      ", "       "};

const char* levelTag(int level) {
    if (level >= 0 && level <= 8)
        return tags[level];
    return "?      ";
}

const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "Dec 05 14:03:07.042" in local time.
void formatTimeStamp(char (&buffer)[100]) {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    const int month = (local.tm_mon >= 0 && local.tm_mon < 12) ? local.tm_mon : 0;
    snprintf(buffer, sizeof buffer, "%s %02d %02d:%02d:%02d.%03d", monthNames[month], local.tm_mday,
             local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
}

} // namespace

bool Logging::open(const char* newProgName, int level, const char* newLogFileName) {
    logLevel.store(level, std::memory_order_relaxed);
    logFileName = newLogFileName;
    progName = newProgName;
    if (!logFileName)
        return false;
    FILE* file = fopen(logFileName, "a");
    closeOwnedFile();
    if (file) {
        logFile = file;
        ownsLogFile = true;
        return true;
    }
    if (isLogLevelActive(LogLevel::critical))
        write(LogLevel::critical, "Could not open log file '%s'", logFileName);
    return false;
}

bool Logging::reopen() {
    if (!logFileName)
        return false;
    closeOwnedFile();
    logFile = fopen(logFileName, "a");
    if (logFile) {
        ownsLogFile = true;
        return true;
    }
    if (isLogLevelActive(LogLevel::warning))
        write(LogLevel::warning, "Could not reopen log file '%s'", logFileName);
    return false;
}

void Logging::rename(const char* newProgName) {
    progName = newProgName;
}

FILE* Logging::getLogFile() {
    return logFile ? logFile : stderr;
}

void Logging::setLogFile(FILE* file) {
    closeOwnedFile();
    logFile = file;
}

// A file that open or reopen made is closed when it is replaced; standard error and files
// handed in through setLogFile belong to someone else.
void Logging::closeOwnedFile() {
    if (ownsLogFile && logFile)
        fclose(logFile);
    logFile = nullptr;
    ownsLogFile = false;
}

void Logging::writePrefix(FILE* file, int level) {
    char timeStamp[100];
    formatTimeStamp(timeStamp);
    fprintf(file, "%s  %s %s: ", levelTag(level), timeStamp, progName ? progName : "");
}

void Logging::lock(FILE* file) {
    if (const int error = pthread_mutex_lock(&mutex); error != 0)
        fprintf(file, "Logging::write: pthread_mutex_lock failed (%s)", strerror(error));
}

void Logging::unlock(FILE* file) {
    if (const int error = pthread_mutex_unlock(&mutex); error != 0)
        fprintf(file, "Logging::write: pthread_mutex_unlock failed (%s)", strerror(error));
}

int Logging::write(int level, const char* format, ...) {
    if (getLogLevel() < level)
        return 0;
    FILE* file = getLogFile();
    lock(file);
    writePrefix(file, level);
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fputc('\n', file);
    unlock(file);
    fflush(file);
    return 0;
}

int Logging::writeText(int level, std::string_view text) {
    if (getLogLevel() < level)
        return 0;
    FILE* file = getLogFile();
    lock(file);
    writePrefix(file, level);
    fwrite(text.data(), 1, text.size(), file);
    fputc('\n', file);
    unlock(file);
    fflush(file);
    return 0;
}

void Logging::beginMessage(int level) {
    FILE* file = getLogFile();
    lock(file);
    writePrefix(file, level);
    unlock(file);
}

void Logging::continueMessage(std::string_view text) {
    FILE* file = getLogFile();
    lock(file);
    fwrite(text.data(), 1, text.size(), file);
    unlock(file);
}

void Logging::endMessage() {
    FILE* file = getLogFile();
    lock(file);
    fputc('\n', file);
    unlock(file);
    fflush(file);
}

void Logging::flush() {
    fflush(getLogFile());
}

std::string Logging::getLogFileName() {
    return logFileName ? logFileName : "";
}

bool Logging::setLogLevel(int level) {
    logLevel.store(level, std::memory_order_relaxed);
    return true;
}

bool Logging::setLogLevel(const std::string& name) {
    const int level = logLevelFromName(name);
    if (level == -1)
        return false;
    logLevel.store(level, std::memory_order_relaxed);
    return true;
}

int Logging::logLevelFromName(const std::string& name) {
    for (const LevelInfo& info : levels)
        if (name == info.name || name == info.shortName)
            return info.level;
    return -1;
}

const char* Logging::logLevelToName(int level) {
    for (const LevelInfo& info : levels)
        if (level == info.level)
            return info.name;
    return "unknown";
}

const char* Logging::getLogLevelName() {
    return logLevelToName(getLogLevel());
}

std::string stringFormat(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int needed = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (needed < 0)
        buffer[0] = '\0';
    if ((needed < 0 || needed >= static_cast<int>(sizeof buffer)) &&
        Logging::isLogLevelActive(LogLevel::warning))
        Logging::write(LogLevel::warning, "stringFormat: output truncated");
    return buffer;
}

void sigUsr1Handler(int /*signal*/) {
    Logging::write(LogLevel::warning, "sigUsr1Handler not implemented");
}

void throwBug(std::string_view file, int line, std::string_view function, std::string_view error) {
    if (Logging::isLogLevelActive(LogLevel::emergency)) {
        std::string message("THROW_BUG: file='");
        message.append(file);
        message.append("', line=");
        message.append(std::to_string(line));
        message.append(", function='");
        message.append(function);
        message.append("', error='");
        message.append(error);
        message.append("'");
        Logging::writeText(LogLevel::emergency, message);
    }
    std::exit(1);
}
