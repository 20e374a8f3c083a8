// The log lines written while a test's LogCapture lives.
#pragma once

#include <cstdio>
#include <string>

#include "base/Logging.h"

// Captures the log at `level`; restores level and destination afterwards.
class LogCapture {
public:
    explicit LogCapture(int level = 7)
        : m_file(std::tmpfile()), m_oldFile(Logging::getLogFile()),
          m_oldLevel(Logging::getLogLevel()) {
        Logging::setLogFile(m_file);
        Logging::setLogLevel(level);
    }
    ~LogCapture() {
        Logging::setLogFile(m_oldFile);
        Logging::setLogLevel(m_oldLevel);
        std::fclose(m_file);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string result;
        for (int c; (c = std::fgetc(m_file)) != EOF;)
            result += static_cast<char>(c);
        return result;
    }

private:
    FILE* m_file;
    FILE* m_oldFile;
    int m_oldLevel;
};
