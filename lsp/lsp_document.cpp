#include "lsp/lsp_document.h"

#include <algorithm>

namespace {

// The bytes of the UTF-8 sequence that starts with `lead`, and its UTF-16 code units.
struct Utf8Step {
    size_t bytes;
    size_t units;
};

Utf8Step stepAt(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t bytes = 1;
    if (lead >= 0xF0 && lead < 0xF8)
        bytes = 4;
    else if (lead >= 0xE0)
        bytes = lead < 0xF0 ? 3 : 1;
    else if (lead >= 0xC0)
        bytes = 2;
    if (bytes == 1 || at + bytes > text.size())
        return {1, 1};
    for (size_t i = 1; i < bytes; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return {1, 1};
    return {bytes, bytes == 4 ? size_t{2} : size_t{1}};
}

} // namespace

lsp_document::lsp_document(std::string text) {
    setText(std::move(text));
}

void lsp_document::setText(std::string text) {
    m_text = std::make_shared<std::string>(std::move(text));
    index();
}

std::string& lsp_document::mutableText() {
    if (m_text.use_count() > 1)
        m_text = std::make_shared<std::string>(*m_text);
    return *m_text;
}

bool lsp_document::replace(const lsp_position& start, const lsp_position& end,
                           std::string_view text) {
    const size_t from = offsetOf(start);
    const size_t to = offsetOf(end);
    if (from > to)
        return false;
    mutableText().replace(from, to - from, text);
    index();
    return true;
}

void lsp_document::index() {
    const std::string& text = *m_text;
    m_lineStarts.clear();
    m_lineStarts.push_back(0);
    for (size_t at = text.find_first_of("\r\n"); at != std::string::npos;
         at = text.find_first_of("\r\n", at)) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n')
            ++at;
        m_lineStarts.push_back(++at);
    }
}

size_t lsp_document::lineEnd(size_t line) const {
    if (line + 1 >= m_lineStarts.size())
        return m_text->size();
    size_t end = m_lineStarts[line + 1] - 1;
    if (end > m_lineStarts[line] && (*m_text)[end] == '\n' && (*m_text)[end - 1] == '\r')
        --end;
    return end;
}

std::string_view lsp_document::lineText(size_t line) const {
    const size_t start = m_lineStarts[line];
    return std::string_view(*m_text).substr(start, lineEnd(line) - start);
}

size_t lsp_document::offsetOf(const lsp_position& position) const {
    if (position.line < 0)
        return 0;
    if (static_cast<uint64_t>(position.line) >= m_lineStarts.size())
        return m_text->size();
    const auto line = static_cast<size_t>(position.line);
    const size_t units = position.character < 0 ? 0 : static_cast<size_t>(position.character);
    return m_lineStarts[line] + utf8Prefix(lineText(line), units);
}

size_t lsp_document::lineOf(size_t offset) const {
    const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset);
    return static_cast<size_t>(after - m_lineStarts.begin()) - 1;
}

lsp_position lsp_document::positionOf(size_t offset) const {
    offset = std::min(offset, m_text->size());
    const size_t line = lineOf(offset);
    const std::string_view text = lineText(line);
    const size_t column = std::min(offset - m_lineStarts[line], text.size());
    return {static_cast<int64_t>(line), static_cast<int64_t>(utf16Length(text.substr(0, column)))};
}

size_t lsp_document::utf16Length(std::string_view text) {
    size_t units = 0;
    for (size_t at = 0; at < text.size();) {
        const Utf8Step step = stepAt(text, at);
        at += step.bytes;
        units += step.units;
    }
    return units;
}

size_t lsp_document::utf8Prefix(std::string_view text, size_t units) {
    size_t at = 0;
    size_t counted = 0;
    while (at < text.size()) {
        const Utf8Step step = stepAt(text, at);
        if (counted + step.units > units)
            break;
        counted += step.units;
        at += step.bytes;
    }
    return at;
}
