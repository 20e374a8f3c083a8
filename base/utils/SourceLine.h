// One line of source text with its line number and the shared name of its source. Tokens,
// statements and errors share one instance through std::shared_ptr<const SourceLine>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class SourceLine {
public:
    using name_ptr_t = std::shared_ptr<const std::string>;
    static constexpr size_t npos = std::string::npos;

    SourceLine() = default;
    explicit SourceLine(const std::string& text, int32_t lineNr = 0, name_ptr_t sourceName = {});
    explicit SourceLine(std::string_view text, int32_t lineNr = 0, name_ptr_t sourceName = {});
    explicit SourceLine(const char* text, int32_t lineNr = 0, name_ptr_t sourceName = {});
    SourceLine(const char* text, size_t length, int32_t lineNr = 0, name_ptr_t sourceName = {});
    SourceLine(const SourceLine& other);
    SourceLine(SourceLine&& other) noexcept;
    SourceLine& operator=(const SourceLine& other);
    SourceLine& operator=(SourceLine&& other) noexcept;
    ~SourceLine();

    // Replace text and line number; the source name stays.
    void setLine(std::string_view text, int32_t lineNr);
    void setLine(const char* text, size_t length, int32_t lineNr);
    // Append a LF and then `text`.
    void concatLine(std::string_view text);
    void concatLine(const char* text, size_t length);
    // Line 0, empty text, no source name.
    void clear();

    std::string_view view() const { return {data(), m_length}; }
    std::string toString() const { return std::string(view()); }
    char operator[](size_t index) const { return index < m_length ? m_text[index] : '\0'; }
    const char* data() const { return m_text != nullptr ? m_text : ""; }
    size_t length() const { return m_length; }
    size_t size() const { return m_length; }
    bool empty() const { return m_length == 0; }
    // Throws std::out_of_range when pos is beyond the end, as std::string::substr does.
    std::string substr(size_t pos = 0, size_t len = npos) const {
        return std::string(view().substr(pos, len));
    }

    size_t find(std::string_view text, size_t pos = 0) const { return view().find(text, pos); }
    size_t find(const char* text, size_t pos, size_t n) const { return view().find(text, pos, n); }
    size_t find(char c, size_t pos = 0) const { return view().find(c, pos); }
    size_t rfind(char c, size_t pos = npos) const { return view().rfind(c, pos); }

    int32_t lineNr() const { return m_lineNr; }
    void setLineNr(int32_t lineNr) { m_lineNr = lineNr; }
    void incLineNr() { ++m_lineNr; }
    const name_ptr_t& sourceName() const { return m_sourceName; }
    void setSourceName(name_ptr_t sourceName) { m_sourceName = std::move(sourceName); }

    // 1 plus the number of LF characters in the text.
    int32_t numLines() const;
    // Saturates at the largest line number instead of overflowing.
    int32_t lastLineNr() const {
        const int64_t last = int64_t{m_lineNr} + numLines() - 1;
        return last > INT32_MAX ? INT32_MAX : static_cast<int32_t>(last);
    }
    bool isMultiLine() const { return view().find('\n') != std::string_view::npos; }
    // True when the line has a number (numbers count from 1).
    bool hasSource() const { return m_lineNr > 0; }

    // Position text: "prog.s:12", "prog.s:12-14", "line 7", "lines 7-8", the name alone for
    // line 0; with a column (unless npos) "prog.s:12:5" or "line 12 column 5".
    std::string getSourceRef() const;
    std::string getSourceRef(size_t column) const;

private:
    // New memory for at least `length` characters; its size goes to `capacity`.
    static char* allocateText(size_t length, size_t& capacity);
    void assign(const char* text, size_t length);
    void releaseText() noexcept;

    // The text lives in arena memory next to the other objects of its run (see
    // ArenaAllocator.h), not in a std::string of its own on the general heap.
    int32_t m_lineNr = 0;
    char* m_text = nullptr;
    size_t m_length = 0;
    size_t m_capacity = 0;
    name_ptr_t m_sourceName;
};
