#include "base/utils/SourceErrorRef.h"

#include "base/utils/stringUtils.h"

#include <algorithm>

namespace {
constexpr size_t maxMarkerOverreach = 4096;
}

SourceErrorRef::SourceErrorRef(line_ptr_t line) : SourceErrorRef(std::move(line), npos, 0) {}

SourceErrorRef::SourceErrorRef(line_ptr_t line, size_t start, size_t length)
    : m_sourceLine(std::move(line)), m_errorStart(start), m_errorLength(length) {
    if (m_sourceLine && m_errorStart != npos && m_errorStart > m_sourceLine->length())
        m_errorStart = npos;
}

SourceErrorRef::SourceErrorRef(line_ptr_t line, const std::string& text)
    : m_sourceLine(std::move(line)) {
    if (m_sourceLine && !text.empty()) {
        m_errorStart = m_sourceLine->find(text);
        m_errorLength = text.length();
    }
}

bool SourceErrorRef::hasSource() const {
    return m_sourceLine && m_sourceLine->lineNr() > 0;
}

std::string SourceErrorRef::errorText() const {
    if (!hasSource() || m_errorStart == npos || m_errorLength == 0)
        return {};
    return m_sourceLine->substr(m_errorStart, m_errorLength);
}

std::string SourceErrorRef::getSourceRef() const {
    if (!hasSource())
        return {};
    return m_sourceLine->getSourceRef(m_errorStart);
}

bool SourceErrorRef::operator<(const SourceErrorRef& other) const {
    const bool usable = hasSource();
    const bool otherUsable = other.hasSource();
    if (usable && otherUsable)
        return m_sourceLine->lineNr() < other.m_sourceLine->lineNr();
    return usable && !otherUsable;
}

std::string SourceErrorRef::pointToTextInSource() const {
    if (!hasSource())
        return {};
    std::string text = m_sourceLine->toString();
    if (text.empty() || m_errorStart == npos || m_errorLength == 0)
        return text;
    if (text.find('\n') != std::string::npos)
        return text;

    // Tabs are shown as four blanks, so the marker moves three columns per tab.
    const std::string_view view(text);
    const size_t start = std::min(m_errorStart, view.size());
    const size_t tabsBefore =
        static_cast<size_t>(std::count(view.begin(), view.begin() + start, '\t'));
    const std::string_view span = view.substr(start, m_errorLength);
    const size_t tabsInside = static_cast<size_t>(std::count(span.begin(), span.end(), '\t'));
    replaceAll(text, "\t", "    ");
    const size_t column = m_errorStart + 3 * tabsBefore;
    size_t width = m_errorLength + 3 * tabsInside;
    // A span may reach a little past the text, but an absurd length (say npos) must not
    // make the marker line exhaust memory: it is then drawn to the end of the line.
    if (m_errorLength > std::max(text.size(), maxMarkerOverreach))
        width = column < text.size() ? text.size() - column : 0;

    if (text.front() != '\n')
        text.insert(text.begin(), '\n');
    if (column < text.size()) {
        if (text.back() != '\n')
            text.push_back('\n');
        text.append(column, '-');
        text.append(width, '^');
        text.push_back('\n');
    }
    return text;
}
