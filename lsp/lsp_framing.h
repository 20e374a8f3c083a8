#ifndef LSP_LSP_FRAMING_H
#define LSP_LSP_FRAMING_H

// The base protocol's framing: a header block ("Content-Length: N", other fields ignored,
// ended by an empty line, lines ended by CR LF) and N bytes of JSON. The framer collects
// bytes as they arrive and hands out whole message bodies; a header block it cannot use is
// reported and skipped, so that one bad frame does not end the stream.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class lsp_framer {
public:
    // Bodies and header blocks beyond these sizes are refused.
    static constexpr size_t s_maxBody = size_t{64} << 20;
    static constexpr size_t s_maxHeader = size_t{64} << 10;

    using message_t = std::function<void(std::string_view body)>;
    using error_t = std::function<void(const std::string& problem)>;

    void feed(std::string_view bytes, const message_t& onMessage, const error_t& onError);
    // Bytes received and not yet handed out.
    size_t pending() const { return m_buffer.size() - m_consumed; }

    static std::string frame(std::string_view body);

private:
    std::string m_buffer;
    size_t m_consumed = 0;
};

#endif
