#include "base/utils/SourceLine.h"

#include "base/utils/stringUtils.h"

#include <algorithm>

SourceLine::SourceLine(const std::string& text, int32_t lineNr, name_ptr_t sourceName)
    : m_lineNr(lineNr), m_source(text), m_sourceName(std::move(sourceName)) {}

SourceLine::SourceLine(std::string&& text, int32_t lineNr, name_ptr_t sourceName)
    : m_lineNr(lineNr), m_source(std::move(text)), m_sourceName(std::move(sourceName)) {}

SourceLine::SourceLine(const char* text, int32_t lineNr, name_ptr_t sourceName)
    : m_lineNr(lineNr), m_source(text ? text : ""), m_sourceName(std::move(sourceName)) {}

SourceLine::SourceLine(const char* text, size_t length, int32_t lineNr, name_ptr_t sourceName)
    : m_lineNr(lineNr), m_source(text ? std::string(text, length) : std::string()),
      m_sourceName(std::move(sourceName)) {}

void SourceLine::setLine(const std::string& text, int32_t lineNr) {
    m_source.assign(text);
    m_lineNr = lineNr;
}

void SourceLine::setLine(std::string&& text, int32_t lineNr) {
    m_source = std::move(text);
    m_lineNr = lineNr;
}

void SourceLine::setLine(const char* text, size_t length, int32_t lineNr) {
    // assign keeps the capacity, so a reused line does not allocate for shorter text.
    if (text)
        m_source.assign(text, length);
    else
        m_source.clear();
    m_lineNr = lineNr;
}

void SourceLine::concatLine(const std::string& text) {
    concatLine(text.data(), text.size());
}

void SourceLine::concatLine(const char* text, size_t length) {
    m_source.push_back('\n');
    if (text)
        m_source.append(text, length);
}

void SourceLine::clear() {
    m_lineNr = 0;
    m_source.clear();
    m_sourceName.reset();
}

int32_t SourceLine::numLines() const {
    return 1 + static_cast<int32_t>(std::count(m_source.begin(), m_source.end(), '\n'));
}

std::string SourceLine::getSourceRef() const {
    std::string ref;
    if (m_sourceName) {
        ref.append(*m_sourceName);
        if (m_lineNr == 0)
            return ref;
        ref.push_back(':');
    } else {
        if (m_lineNr == 0)
            return ref;
        if (m_lineNr > 0)
            ref.append(isMultiLine() ? "lines " : "line ");
    }
    append_(false, ref, m_lineNr);
    if (m_lineNr > 0 && isMultiLine())
        append_(false, ref, '-', lastLineNr());
    return ref;
}

std::string SourceLine::getSourceRef(size_t column) const {
    std::string ref = getSourceRef();
    if (column == npos)
        return ref;
    if (m_sourceName)
        append_(false, ref, ':', column);
    else
        append_(false, ref, " column ", column);
    return ref;
}
