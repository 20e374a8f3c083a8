#pragma once

// AsmToken: a span of one shared SourceLine. All front-end text is held, compared and
// passed around as tokens; the characters are only copied when toString() is asked for.

#include "base/utils/CharFilter.h"
#include "base/utils/SourceLine.h"
#include "base/utils/stringUtils.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

class AsmToken {
public:
    using line_ptr = std::shared_ptr<const SourceLine>;

    // No line, empty.
    constexpr AsmToken() noexcept = default;
    // The whole text of the line (empty when the pointer is null).
    explicit AsmToken(const line_ptr& line) noexcept;
    explicit AsmToken(line_ptr&& line) noexcept;
    // From min(start, length) to the end of the line.
    AsmToken(const line_ptr& line, size_t start) noexcept;
    // A negative length stops that many characters before the end of the line; when its
    // magnitude reaches the line length the token is the empty span at offset 0.
    AsmToken(const line_ptr& line, size_t start, int length) noexcept;
    // The span [start, finish) of the line, clamped to it.
    static AsmToken fromSpan(const line_ptr& line, size_t start, size_t finish) noexcept {
        AsmToken token;
        token.m_source = line;
        token.setSpan(start, finish);
        return token;
    }
    // These make a new SourceLine (number 0, no source name) from the text and cover all of it.
    explicit AsmToken(const std::string& text);
    explicit AsmToken(std::string&& text);
    explicit AsmToken(const char* text);
    AsmToken(const char* text, size_t length);

    AsmToken(const AsmToken&) = default;
    AsmToken(AsmToken&&) noexcept = default;
    AsmToken& operator=(const AsmToken&) = default;
    AsmToken& operator=(AsmToken&&) noexcept = default;
    AsmToken& operator=(const std::string& text);
    AsmToken& operator=(std::string&& text);
    AsmToken& operator=(const char* text);

    // Queries
    const line_ptr& sourceLine() const noexcept { return m_source; }
    bool hasSource() const noexcept { return m_source != nullptr; }
    size_t start() const noexcept { return m_start; }
    size_t finish() const noexcept { return m_finish; }
    size_t length() const noexcept { return m_finish - m_start; }
    bool empty() const noexcept { return m_finish == m_start; }
    // Character access; positions outside the span read as '\0'.
    char front() const noexcept { return empty() ? '\0' : lineData()[m_start]; }
    char back() const noexcept { return empty() ? '\0' : lineData()[m_finish - 1]; }
    char operator[](size_t i) const noexcept {
        return i < length() ? lineData()[m_start + i] : '\0';
    }
    // Pointer to the first character of the span (to an empty text without a line).
    const char* data() const noexcept { return lineData() + m_start; }
    std::string_view view() const noexcept { return {data(), length()}; }
    std::string toString() const { return std::string(view()); }
    // Length of the whole line's text (0 without a line).
    size_t lineLength() const noexcept { return m_source ? m_source->length() : 0; }
    // Offset of the first occurrence of c in the span, relative to start(); npos when absent.
    size_t find(char c) const noexcept;

    // Comparisons: equal length and characters; the lines themselves are not compared.
    bool operator==(const AsmToken& other) const noexcept { return view() == other.view(); }
    bool operator==(const std::string& text) const noexcept { return view() == text; }
    bool operator==(std::string_view text) const noexcept { return view() == text; }
    bool operator==(const char* text) const noexcept;
    bool isEqualCaseInsensitive(const AsmToken& other) const noexcept;
    bool isEqualCaseInsensitive(const std::string& text) const noexcept;
    bool isEqualCaseInsensitive(const char* text) const noexcept;
    // Lexicographic on the characters taken as signed 8-bit values; a prefix sorts first.
    bool operator<(const AsmToken& other) const noexcept;

    // Changes; all keep start <= finish <= line length.
    void stripFront() noexcept {
        const char* text = lineData();
        while (m_start < m_finish && CharFilters::isSpace(text[m_start]))
            ++m_start;
    }
    void stripBack() noexcept;
    void strip() noexcept;
    // Empty span at offset 0 of the same line when len is 0 or pos is not inside the token;
    // a negative len stops that many characters before the token's end.
    AsmToken substr(size_t pos, int len) const noexcept;
    // The token becomes the rest of the line after it, leading white space removed.
    AsmToken& next() noexcept {
        const size_t lineLen = lineLength();
        m_start = std::min(m_finish, lineLen);
        m_finish = lineLen;
        stripFront();
        return *this;
    }
    void setStart(size_t start) noexcept { m_start = std::min(start, m_finish); }
    void setFinish(size_t finish) noexcept {
        m_finish = std::min(finish, lineLength());
        m_start = std::min(m_start, m_finish);
    }
    void setSpan(size_t start, size_t finish) noexcept {
        m_finish = std::min(finish, lineLength());
        m_start = std::min(start, m_finish);
    }
    void setLength(size_t length) noexcept { setFinish(m_start + std::min(length, lineLength())); }

private:
    // Inline with the other small operations: the parser calls them for every word.
    const char* lineData() const noexcept { return m_source ? m_source->data() : ""; }

    line_ptr m_source;
    size_t m_start = 0;
    size_t m_finish = 0;
};

std::ostream& operator<<(std::ostream& os, const AsmToken& token);

// Transparent hash over the text, so that maps keyed by std::string (used with
// std::equal_to<>) can be searched with a token or a string_view without building a string.
struct AsmTokenHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return hashText(text); }
    size_t operator()(const std::string& text) const noexcept { return hashText(text); }
    size_t operator()(const char* text) const noexcept {
        return hashText(text ? std::string_view(text) : std::string_view());
    }
    size_t operator()(const AsmToken& token) const noexcept { return hashText(token.view()); }
};

// Transparent equality over the text, the partner of AsmTokenHash.
struct AsmTokenEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return equalText(a, b);
    }
    bool operator()(const AsmToken& a, std::string_view b) const noexcept {
        return equalText(a.view(), b);
    }
    bool operator()(std::string_view a, const AsmToken& b) const noexcept {
        return equalText(a, b.view());
    }
};
