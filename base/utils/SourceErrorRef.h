// A span of one source line that an error points at, able to show the line's position and
// the line itself with a marker line under the span.
#pragma once

#include "base/utils/SourceLine.h"

#include <cstddef>
#include <memory>
#include <string>

class SourceErrorRef {
public:
    using line_ptr_t = std::shared_ptr<const SourceLine>;
    static constexpr size_t npos = std::string::npos;

    SourceErrorRef() = default;
    // The whole line, without a span.
    explicit SourceErrorRef(line_ptr_t line);
    // A start beyond the end of the line's text becomes npos; the length is kept.
    SourceErrorRef(line_ptr_t line, size_t start, size_t length);
    // The span of the first occurrence of `text` in the line (start npos when it does not
    // occur; the length is that of `text` in either case).
    SourceErrorRef(line_ptr_t line, const std::string& text);
    SourceErrorRef(const SourceErrorRef&) = default;
    SourceErrorRef(SourceErrorRef&&) noexcept = default;
    SourceErrorRef& operator=(const SourceErrorRef&) = default;
    SourceErrorRef& operator=(SourceErrorRef&&) noexcept = default;
    virtual ~SourceErrorRef() = default;

    // The line is set and has a number above 0.
    virtual bool hasSource() const;
    virtual const line_ptr_t& sourceLine() const { return m_sourceLine; }

    size_t errorStart() const { return m_errorStart; }
    size_t errorLength() const { return m_errorLength; }
    // The characters of the span, empty when there is no usable span.
    std::string errorText() const;
    // The position of the span ("prog.s:12:5"), empty without a usable line.
    std::string getSourceRef() const;
    // A newline, the line (tabs as four blanks), a newline, dashes up to the span, carets
    // under it and a newline; see the implementation for the cases without a marker.
    std::string pointToTextInSource() const;
    // Orders by line number; references without a usable line sort last.
    bool operator<(const SourceErrorRef& other) const;

private:
    line_ptr_t m_sourceLine;
    size_t m_errorStart = npos;
    size_t m_errorLength = 0;
};
