#include "base/utils/TextOutput.h"

#include "base/Logging.h"

TextOutput::TextOutput() : m_buffer(new char[s_blockSize]) {}

TextOutput::~TextOutput() = default;

bool TextOutput::flush() {
    flushBuffer();
    return !m_failed;
}

void TextOutput::setError(std::string error) {
    if (!m_failed)
        m_error = std::move(error);
    m_failed = true;
}

void TextOutput::flushBuffer() {
    if (m_used != 0 && !m_failed)
        writeBlock(std::string_view(m_buffer.get(), m_used));
    m_used = 0;
}

void TextOutput::appendLong(std::string_view text) {
    flushBuffer();
    if (text.size() <= s_blockSize) {
        m_used = text.copy(m_buffer.get(), text.size());
    } else if (!m_failed) {
        writeBlock(text);
    }
}

void appendCsvField(TextOutput& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out.append('"');
    for (const char c : text) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

LogOutput::LogOutput(int level) {
    if (Logging::isLogLevelActive(level))
        Logging::beginMessage(level);
    else
        m_finished = true; // writes nothing
}

LogOutput::~LogOutput() {
    finish();
}

void LogOutput::finish() {
    if (m_finished)
        return;
    flush();
    Logging::endMessage();
    m_finished = true;
}

bool LogOutput::writeBlock(std::string_view block) {
    if (!m_finished)
        Logging::continueMessage(block);
    return true;
}
