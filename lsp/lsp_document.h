#ifndef LSP_LSP_DOCUMENT_H
#define LSP_LSP_DOCUMENT_H

// One open document: its UTF-8 text, the protocol's line table (a line ends at LF, CR LF or
// CR) and conversions between byte offsets and the protocol's positions, whose character is
// counted in UTF-16 code units. Edits replace a range given in such positions.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct lsp_position {
    int64_t line = 0;
    int64_t character = 0;
};

class lsp_document {
public:
    lsp_document() { index(); }
    explicit lsp_document(std::string text);

    void setText(std::string text);
    // Replaces [start, end): positions beyond a line's end mean its end, a line beyond the
    // last the end of the text. False, changing nothing, when start lies after end.
    bool replace(const lsp_position& start, const lsp_position& end, std::string_view text);

    const std::string& text() const { return *m_text; }
    // The text for a reader; it stays unchanged while the pointer is held elsewhere.
    std::shared_ptr<const std::string> shared() const { return m_text; }

    size_t lineCount() const { return m_lineStarts.size(); }
    size_t lineStart(size_t line) const { return m_lineStarts[line]; }
    // The end of the line's text, before its terminator.
    size_t lineEnd(size_t line) const;
    std::string_view lineText(size_t line) const;

    // The byte offset of a position, clamped to the document as described for replace().
    size_t offsetOf(const lsp_position& position) const;
    lsp_position positionOf(size_t offset) const;
    // The line holding the byte offset.
    size_t lineOf(size_t offset) const;

    // UTF-16 code units of a UTF-8 text, and the byte length of the longest prefix of `text`
    // that has at most `units` of them. Bytes that are no valid UTF-8 count one unit each.
    static size_t utf16Length(std::string_view text);
    static size_t utf8Prefix(std::string_view text, size_t units);

private:
    void index();
    // Copy on write: a reader may still hold the current text.
    std::string& mutableText();

    std::shared_ptr<std::string> m_text = std::make_shared<std::string>();
    std::vector<size_t> m_lineStarts;
};

#endif
