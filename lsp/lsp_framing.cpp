#include "lsp/lsp_framing.h"

#include "base/utils/stringUtils.h"

#include <cctype>
#include <charconv>

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The Content-Length of a header block, or npos when it has none or an unusable one.
size_t contentLength(std::string_view header) {
    size_t length = std::string::npos;
    while (!header.empty()) {
        const size_t end = header.find("\r\n");
        const std::string_view line = header.substr(0, end);
        header.remove_prefix(end == std::string_view::npos ? header.size() : end + 2);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return std::string::npos;
        if (!equalIgnoringCase(trimmed(line.substr(0, colon)), "Content-Length"))
            continue;
        const std::string_view value = trimmed(line.substr(colon + 1));
        size_t parsed = 0;
        const auto [end_, error] =
            std::from_chars(value.data(), value.data() + value.size(), parsed);
        if (error != std::errc() || end_ != value.data() + value.size() || value.empty())
            return std::string::npos;
        length = parsed;
    }
    return length;
}

} // namespace

void lsp_framer::feed(std::string_view bytes, const message_t& onMessage, const error_t& onError) {
    m_buffer.append(bytes);
    for (;;) {
        const std::string_view rest = std::string_view(m_buffer).substr(m_consumed);
        const size_t headerEnd = rest.find("\r\n\r\n");
        if (headerEnd == std::string_view::npos) {
            if (rest.size() > s_maxHeader) {
                onError("header block too long");
                m_consumed = m_buffer.size();
            }
            break;
        }
        const size_t length = contentLength(rest.substr(0, headerEnd));
        if (length == std::string::npos || length > s_maxBody) {
            onError(length == std::string::npos ? "header without a usable Content-Length"
                                                : "message body too large");
            m_consumed += headerEnd + 4;
            continue;
        }
        if (rest.size() - headerEnd - 4 < length)
            break;
        m_consumed += headerEnd + 4 + length;
        onMessage(rest.substr(headerEnd + 4, length));
    }
    // Drop what was handed out once it is a good part of the buffer.
    if (m_consumed == m_buffer.size()) {
        m_buffer.clear();
        m_consumed = 0;
    } else if (m_consumed > 4096 && m_consumed * 2 > m_buffer.size()) {
        m_buffer.erase(0, m_consumed);
        m_consumed = 0;
    }
}

std::string lsp_framer::frame(std::string_view body) {
    std::string text = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    text.append(body);
    return text;
}
