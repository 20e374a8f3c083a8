#include "base/utils/SourceLine.h"

#include "base/utils/ArenaAllocator.h"
#include "base/utils/stringUtils.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {
// Lengths and offsets of a line must fit the signed range that callers compute with.
constexpr size_t maxTextLength = static_cast<size_t>(PTRDIFF_MAX);
} // namespace

SourceLine::SourceLine(const std::string& text, int32_t lineNr, name_ptr_t sourceName)
    : SourceLine(text.data(), text.size(), lineNr, std::move(sourceName)) {}

SourceLine::SourceLine(std::string_view text, int32_t lineNr, name_ptr_t sourceName)
    : SourceLine(text.data(), text.size(), lineNr, std::move(sourceName)) {}

SourceLine::SourceLine(const char* text, int32_t lineNr, name_ptr_t sourceName)
    : SourceLine(text, text ? std::strlen(text) : 0, lineNr, std::move(sourceName)) {}

SourceLine::SourceLine(const char* text, size_t length, int32_t lineNr, name_ptr_t sourceName)
    : m_lineNr(lineNr), m_sourceName(std::move(sourceName)) {
    if (text)
        assign(text, length);
}

SourceLine::SourceLine(const SourceLine& other)
    : m_lineNr(other.m_lineNr), m_sourceName(other.m_sourceName) {
    assign(other.data(), other.m_length);
}

SourceLine::SourceLine(SourceLine&& other) noexcept
    : m_lineNr(other.m_lineNr), m_text(std::exchange(other.m_text, nullptr)),
      m_length(std::exchange(other.m_length, 0)), m_capacity(std::exchange(other.m_capacity, 0)),
      m_sourceName(std::move(other.m_sourceName)) {}

SourceLine& SourceLine::operator=(const SourceLine& other) {
    if (this != &other) {
        assign(other.data(), other.m_length);
        m_lineNr = other.m_lineNr;
        m_sourceName = other.m_sourceName;
    }
    return *this;
}

SourceLine& SourceLine::operator=(SourceLine&& other) noexcept {
    if (this != &other) {
        releaseText();
        m_lineNr = other.m_lineNr;
        m_text = std::exchange(other.m_text, nullptr);
        m_length = std::exchange(other.m_length, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_sourceName = std::move(other.m_sourceName);
    }
    return *this;
}

SourceLine::~SourceLine() {
    releaseText();
}

void SourceLine::releaseText() noexcept {
    if (m_text)
        arena::deallocate(m_text, m_capacity, 1);
    m_text = nullptr;
    m_capacity = 0;
    m_length = 0;
}

char* SourceLine::allocateText(size_t length, size_t& capacity) {
    if (length > maxTextLength)
        throw std::length_error("SourceLine: text too long");
    // Rounded up, so that a reused line seldom needs new memory for a longer text.
    capacity = (length + 7) & ~size_t{7};
    return static_cast<char*>(arena::allocate(capacity, 1));
}

void SourceLine::assign(const char* text, size_t length) {
    if (length > m_capacity) {
        // A text longer than this line's memory cannot lie in it.
        size_t capacity = 0;
        char* memory = allocateText(length, capacity);
        releaseText();
        m_text = memory;
        m_capacity = capacity;
    }
    if (length > 0)
        std::memmove(m_text, text, length);
    m_length = length;
}

void SourceLine::setLine(std::string_view text, int32_t lineNr) {
    setLine(text.data(), text.size(), lineNr);
}

void SourceLine::setLine(const char* text, size_t length, int32_t lineNr) {
    // A reused line keeps its memory for a text that fits.
    if (text)
        assign(text, length);
    else
        m_length = 0;
    m_lineNr = lineNr;
}

void SourceLine::concatLine(std::string_view text) {
    concatLine(text.data(), text.size());
}

void SourceLine::concatLine(const char* text, size_t length) {
    if (!text)
        length = 0;
    if (length > maxTextLength - m_length - 1)
        throw std::length_error("SourceLine: text too long");
    const size_t total = m_length + 1 + length;
    if (total <= m_capacity) {
        m_text[m_length] = '\n';
        if (length > 0)
            std::memmove(m_text + m_length + 1, text, length);
    } else {
        // The appended text may be a part of this line: copied before the old memory goes.
        size_t capacity = 0;
        char* memory = allocateText(total, capacity);
        if (m_length > 0)
            std::memcpy(memory, m_text, m_length);
        memory[m_length] = '\n';
        if (length > 0)
            std::memcpy(memory + m_length + 1, text, length);
        const size_t oldLength = m_length;
        releaseText();
        m_text = memory;
        m_capacity = capacity;
        m_length = oldLength;
    }
    m_length = total;
}

void SourceLine::clear() {
    m_lineNr = 0;
    m_length = 0;
    m_sourceName.reset();
}

int32_t SourceLine::numLines() const {
    const std::string_view text = view();
    return 1 + static_cast<int32_t>(std::count(text.begin(), text.end(), '\n'));
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
